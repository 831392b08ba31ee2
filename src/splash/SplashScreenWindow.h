// The launcher's own splash window: a borderless popup showing one image
// file, centred on the primary screen, optionally with the system drop
// shadow. It lives on the splash thread, which creates it, runs its message
// loop and destroys it.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/Handle.h"
#include "ui/Window.h"

namespace vexa {

class GdiplusSession;

class SplashScreenWindow : public WindowObject {
public:
    static constexpr const wchar_t* kClassName = L"SplashScreenWindow";

    SplashScreenWindow() = default;
    ~SplashScreenWindow() override = default;

    // Creates the hidden window for `imagePath`, the size of the image and
    // centred on the primary screen. An image that cannot be read gives a
    // window of 0 x 0 pixels. Null when the class cannot be registered or the
    // window cannot be created (last error ERROR_OUTOFMEMORY when the
    // framework's bookkeeping cannot be allocated).
    // The session must outlast the call only: the image is decoded and
    // rendered here, and painting needs no GDI+.
    HWND create(const GdiplusSession& gdiplus, const std::wstring& imagePath, bool shadow);

    // The rendered image's size in pixels (0 x 0 for an unreadable image).
    SIZE imageSize() const { return size_; }

protected:
    LRESULT processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // Registers the class once per process, without the drop shadow when none
    // is wanted or the system refuses it.
    static bool registerWindowClass(bool shadow);
    // Draws the image at its own size into a new screen-compatible bitmap.
    void renderImage(const GdiplusSession& gdiplus, void* gdiplusImage);
    void paint();

    GdiObject image_;
    SIZE size_{};
};

}  // namespace vexa
