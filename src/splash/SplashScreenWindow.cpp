#include "splash/SplashScreenWindow.h"

#include <cstdint>

#include "splash/Gdiplus.h"

namespace vexa {
namespace {

// The screen's device context for the length of a scope.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A bitmap selected into a device context until the scope ends.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace

bool SplashScreenWindow::registerWindowClass(bool shadow) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DROPSHADOW | CS_SAVEBITS | CS_DBLCLKS;
    if (!shadow) windowClass.style &= ~CS_DROPSHADOW;
    windowClass.lpfnWndProc = &startWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = SplashScreenWindow::kClassName;
    if (registerClass(windowClass)) return true;
    if (!shadow) return false;
    // Some systems refuse the drop shadow; the splash is then shown without it.
    windowClass.style &= ~CS_DROPSHADOW;
    return registerClass(windowClass);
}

HWND SplashScreenWindow::create(const GdiplusSession& gdiplus, const std::wstring& imagePath, bool shadow) {
    if (!registerWindowClass(shadow)) return nullptr;

    void* source = nullptr;
    UINT width = 0;
    UINT height = 0;
    if (gdiplus.started() && gdiplus.createBitmapFromFile(imagePath.c_str(), &source) == GdiplusSession::kOk &&
        source) {
        if (gdiplus.getImageWidth(source, &width) != GdiplusSession::kOk ||
            gdiplus.getImageHeight(source, &height) != GdiplusSession::kOk)
            width = height = 0;
    }
    size_ = {static_cast<LONG>(width), static_cast<LONG>(height)};
    renderImage(gdiplus, source);
    if (source) gdiplus.disposeImage(source);

    // Centred on the primary screen; an image larger than the screen gets a
    // negative position and is cut off at the screen's edges.
    const int left = (GetSystemMetrics(SM_CXSCREEN) - size_.cx) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - size_.cy) / 2;

    if (!awaitWindow()) return nullptr;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, nullptr, WS_POPUP, left, top, size_.cx, size_.cy,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) cancelAwait();
    return window;
}

void SplashScreenWindow::renderImage(const GdiplusSession& gdiplus, void* source) {
    image_.reset();
    ScreenDc screen;
    image_.reset(CreateCompatibleBitmap(screen.get(), size_.cx, size_.cy));
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!image_ || !memory || !source || size_.cx == 0 || size_.cy == 0) return;

    Selection selected(memory.get(), image_.get());
    void* graphics = nullptr;
    if (gdiplus.createFromHdc(memory.get(), &graphics) != GdiplusSession::kOk || !graphics) return;
    gdiplus.setInterpolationMode(graphics, GdiplusSession::kInterpolationHighQualityBicubic);
    void* attributes = nullptr;
    if (gdiplus.createImageAttributes(&attributes) == GdiplusSession::kOk && attributes)
        gdiplus.setImageAttributesWrapMode(attributes, GdiplusSession::kWrapTileFlipXY, GdiplusSession::kOpaqueBlack,
                                           FALSE);
    // Drawn at the image's own size; a failed drawing leaves the bitmap black.
    gdiplus.drawImageRectRectI(graphics, source, 0, 0, size_.cx, size_.cy, 0, 0, size_.cx, size_.cy,
                               GdiplusSession::kUnitPixel, attributes, nullptr, nullptr);
    if (attributes) gdiplus.disposeImageAttributes(attributes);
    gdiplus.deleteGraphics(graphics);
}

void SplashScreenWindow::paint() {
    PAINTSTRUCT ps{};
    HDC target = BeginPaint(hwnd(), &ps);
    if (target && image_) {
        MemoryDc memory(CreateCompatibleDC(target));
        if (memory) {
            Selection selected(memory.get(), image_.get());
            BitBlt(target, 0, 0, size_.cx, size_.cy, memory.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(hwnd(), &ps);
}

LRESULT SplashScreenWindow::processMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything: no erase, no flicker
        default:
            handled = false;
            return 0;
    }
}

}  // namespace vexa
