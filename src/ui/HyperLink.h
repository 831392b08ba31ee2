// A static text control turned into a web link: underlined text in the link
// colour, a hand cursor and a tooltip with the address over the text, and the
// address opened by the shell on a click or on Enter or the space bar.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/Handle.h"
#include "foundation/ShellApi.h"

namespace vexa {

class HyperLink {
public:
    HyperLink() = default;
    ~HyperLink();
    HyperLink(const HyperLink&) = delete;
    HyperLink& operator=(const HyperLink&) = delete;

    // Replaces the control's window procedure and initialises the link.
    // False when the control cannot be taken over.
    bool attach(HWND control);

    // Set before attach: the control's font (not owned), and the colours,
    // which the user's "Anchor Color" settings may replace.
    HFONT normalFont = nullptr;
    COLORREF linkColour = RGB(0, 0, 255);
    COLORREF visitedColour = RGB(128, 0, 128);
    bool paintLabel = true;

    bool visited() const { return visited_; }
    const RECT& labelRect() const { return labelRect_; }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void initialise();
    void readUserColours();
    void computeLabelRect();
    void paint(HDC dc);
    bool pointerInLabel() const;
    void open();
    void rebuildLinkFont();
    void detach();

    ShellApi shell_;  // the tooltip control and the shell's "open"
    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
    std::wstring label_;
    std::wstring target_;
    HCURSOR cursor_ = nullptr;
    HFONT linkFont_ = nullptr;
    GdiObject ownedNormalFont_;
    GdiObject ownedLinkFont_;
    Window tooltip_;
    RECT labelRect_{};
    bool visited_ = false;
};

}  // namespace vexa
