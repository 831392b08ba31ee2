#include "splash/SplashScreenWindow.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

#include "splash/Gdiplus.h"
#include "splash/ImageHeader.h"

namespace vexa {
namespace {

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

namespace {

// The size an image file's header states; nothing when the file cannot be
// opened or its format is not one the header reader knows.
std::optional<ImageDimensions> statedImageSize(const std::wstring& imagePath) {
    FileHandle file(CreateFileW(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    return readImageDimensions([&file](std::uint64_t offset, void* buffer, std::size_t size) -> std::size_t {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, static_cast<DWORD>(size), &read, &at)) return 0;
        return read;
    });
}

// Draws the image at `size` into a new screen-compatible bitmap; a failed
// drawing leaves it black.
GdiObject renderImage(const GdiplusSession& gdiplus, void* source, SIZE size) {
    const WindowDc screen(nullptr);
    GdiObject image(CreateCompatibleBitmap(screen.get(), size.cx, size.cy));
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!image || !memory || !source || size.cx == 0 || size.cy == 0) return image;

    Selection selected(memory.get(), image.get());
    void* graphics = nullptr;
    if (gdiplus.createFromHdc(memory.get(), &graphics) != GdiplusSession::kOk || !graphics) return image;
    gdiplus.setInterpolationMode(graphics, GdiplusSession::kInterpolationHighQualityBicubic);
    void* attributes = nullptr;
    if (gdiplus.createImageAttributes(&attributes) == GdiplusSession::kOk && attributes)
        gdiplus.setImageAttributesWrapMode(attributes, GdiplusSession::kWrapTileFlipXY, GdiplusSession::kOpaqueBlack,
                                           FALSE);
    gdiplus.drawImageRectRectI(graphics, source, 0, 0, size.cx, size.cy, 0, 0, size.cx, size.cy,
                               GdiplusSession::kUnitPixel, attributes, nullptr, nullptr);
    if (attributes) gdiplus.disposeImageAttributes(attributes);
    gdiplus.deleteGraphics(graphics);
    return image;
}

// Centred on the primary screen; an image larger than the screen gets a
// negative position and is cut off at the screen's edges.
POINT centredPosition(SIZE size) {
    return {(GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2};
}

DWORD WINAPI decodeThreadMain(void* param);

}  // namespace

// What the decoding thread and the window share: the window to tell, and the
// image until the window takes it. The window abandons it when it goes.
class SplashImageHandOver {
public:
    SplashImageHandOver(HWND window, std::wstring imagePath) : imagePath(std::move(imagePath)), window_(window) {}

    void deliver(SplashImage image) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!window_) return;  // nobody wants it any more: dropped here
        image_ = std::move(image);
        if (!PostMessageW(window_, SplashScreenWindow::kImageReadyMessage, 0, 0)) image_.reset();
    }
    std::optional<SplashImage> take() {
        std::lock_guard<std::mutex> guard(lock_);
        return std::exchange(image_, std::nullopt);
    }
    void abandon() {
        std::lock_guard<std::mutex> guard(lock_);
        window_ = nullptr;
        image_.reset();
    }

    const std::wstring imagePath;

private:
    std::mutex lock_;
    HWND window_;
    std::optional<SplashImage> image_;
};

namespace {

DWORD WINAPI decodeThreadMain(void* param) {
    std::unique_ptr<std::shared_ptr<SplashImageHandOver>> handOver(
        static_cast<std::shared_ptr<SplashImageHandOver>*>(param));
    // GDI+ for the length of this one decode.
    GdiplusSession gdiplus;
    (*handOver)->deliver(loadSplashImage(gdiplus, (*handOver)->imagePath));
    return 0;
}

}  // namespace

SplashImage loadSplashImage(const GdiplusSession& gdiplus, const std::wstring& imagePath) {
    SplashImage result;
    // A huge image costs seconds and gigabytes to decode: refused by the
    // size its header states before the decoder sees it.
    std::optional<ImageDimensions> stated = statedImageSize(imagePath);
    if (stated && !isSplashSizeAllowed(stated->width, stated->height)) {
        result.bitmap = renderImage(gdiplus, nullptr, result.size);
        return result;
    }
    void* source = nullptr;
    UINT width = 0;
    UINT height = 0;
    if (gdiplus.started() && gdiplus.createBitmapFromFile(imagePath.c_str(), &source) == GdiplusSession::kOk &&
        source) {
        if (gdiplus.getImageWidth(source, &width) != GdiplusSession::kOk ||
            gdiplus.getImageHeight(source, &height) != GdiplusSession::kOk || !isSplashSizeAllowed(width, height))
            width = height = 0;
    }
    result.size = {static_cast<LONG>(width), static_cast<LONG>(height)};
    result.bitmap = renderImage(gdiplus, source, result.size);
    if (source) gdiplus.disposeImage(source);
    return result;
}

SplashScreenWindow::SplashScreenWindow() : published_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

SplashScreenWindow::~SplashScreenWindow() {
    if (handOver_) handOver_->abandon();
}

HWND SplashScreenWindow::create(const GdiplusSession& gdiplus, const std::wstring& imagePath, bool shadow) {
    if (!registerWindowClass(shadow)) return nullptr;

    SplashImage image = loadSplashImage(gdiplus, imagePath);
    image_ = std::move(image.bitmap);
    size_ = image.size;
    const POINT at = centredPosition(size_);

    if (!awaitWindow()) return nullptr;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, nullptr, WS_POPUP, at.x, at.y, size_.cx, size_.cy,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) cancelAwait();
    return window;
}

HWND SplashScreenWindow::createLoading(const std::wstring& imagePath, bool shadow) {
    if (!registerWindowClass(shadow)) return nullptr;
    size_ = {0, 0};
    const POINT at = centredPosition(size_);
    if (!awaitWindow()) return nullptr;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, nullptr, WS_POPUP, at.x, at.y, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        cancelAwait();
        return nullptr;
    }
    handOver_ = std::make_shared<SplashImageHandOver>(window, imagePath);
    auto param = std::make_unique<std::shared_ptr<SplashImageHandOver>>(handOver_);
    // Not kept: nobody waits for the decoding thread.
    Handle decoder(CreateThread(nullptr, 0, &decodeThreadMain, param.get(), 0, nullptr));
    if (decoder) param.release();  // the thread owns it now
    return window;
}

void SplashScreenWindow::takeImage() {
    if (!handOver_) return;
    std::optional<SplashImage> image = handOver_->take();
    if (!image) return;
    image_ = std::move(image->bitmap);
    size_ = image->size;
    const POINT at = centredPosition(size_);
    SetWindowPos(hwnd(), nullptr, at.x, at.y, size_.cx, size_.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    // Shown only now, at its final size. An error box already up belongs to
    // it and keeps the focus.
    ShowWindow(hwnd(), IsWindowEnabled(hwnd()) ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd());
}

void SplashScreenWindow::markPublished() {
    if (published_) SetEvent(published_.get());
}

bool SplashScreenWindow::waitPublished(DWORD timeoutMs) const {
    return published_ && WaitForSingleObject(published_.get(), timeoutMs) == WAIT_OBJECT_0;
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
        case WM_CLOSE:
            return 0;  // Alt+F4 and the like: the launcher alone closes the splash
        case kImageReadyMessage:
            takeImage();
            return 0;
        case WM_DESTROY:
            if (handOver_) handOver_->abandon();
            handled = false;
            return 0;
        default:
            handled = false;
            return 0;
    }
}

}  // namespace vexa
