// The launcher's own splash window: a borderless popup showing one image
// file, centred on the primary screen, optionally with the system drop
// shadow. It lives on the splash thread, which creates it, runs its message
// loop and destroys it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "foundation/Handle.h"
#include "ui/Window.h"

namespace vexa {

class GdiplusSession;
class SplashImageHandOver;

// An image decoded and drawn at its own size into a screen-compatible bitmap.
struct SplashImage {
    GdiObject bitmap;
    SIZE size{};  // 0 x 0 for an image that cannot be read or is too large
};

// Reads and renders the image file. An image larger than the splash limit
// (ImageHeader.h) is refused before it is decoded, by the size its header
// states, and again by the size the decoder reports. Any thread.
SplashImage loadSplashImage(const GdiplusSession& gdiplus, const std::wstring& imagePath);

class SplashScreenWindow : public WindowObject {
public:
    static constexpr const wchar_t* kClassName = L"SplashScreenWindow";
    // Posted to the window by the decoding thread when the image is ready.
    static constexpr UINT kImageReadyMessage = WM_APP + 1;

    SplashScreenWindow();
    ~SplashScreenWindow() override;

    // Creates the hidden window for `imagePath`, the size of the image and
    // centred on the primary screen. An image that cannot be read gives a
    // window of 0 x 0 pixels. Null when the class cannot be registered or the
    // window cannot be created (last error ERROR_OUTOFMEMORY when the
    // framework's bookkeeping cannot be allocated).
    // The session must outlast the call only: the image is decoded and
    // rendered here, and painting needs no GDI+.
    HWND create(const GdiplusSession& gdiplus, const std::wstring& imagePath, bool shadow);

    // Creates the hidden window at once, 0 x 0 pixels at the centre of the
    // primary screen, and decodes the image on a thread of its own; when the
    // image is ready (or found unreadable) the window takes its size,
    // centred, and shows itself. Nobody
    // ever waits for that thread: when the window is gone first, the image
    // is dropped as soon as it is ready, and a process that ends takes the
    // thread with it. Null as for create().
    HWND createLoading(const std::wstring& imagePath, bool shadow);

    // The splash thread marks the window object once it has published its
    // window (or found it could not make one); the starting thread waits for
    // that, so that error boxes shown after the start stand in front of it.
    void markPublished();
    bool waitPublished(DWORD timeoutMs) const;

    // The rendered image's size in pixels (0 x 0 for an unreadable image).
    SIZE imageSize() const { return size_; }

protected:
    LRESULT processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // Registers the class once per process, without the drop shadow when none
    // is wanted or the system refuses it.
    static bool registerWindowClass(bool shadow);
    // Takes the decoded image over from the decoding thread.
    void takeImage();
    void paint();

    GdiObject image_;
    SIZE size_{};
    std::shared_ptr<SplashImageHandOver> handOver_;
    Handle published_;
};

}  // namespace vexa
