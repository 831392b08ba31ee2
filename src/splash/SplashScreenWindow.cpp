#include "splash/SplashScreenWindow.h"

#include <cstdint>

namespace vexa {
namespace {

// The part of the GDI+ flat interface that the splash window uses. The
// library is bound at its first use, so that the launcher does not import
// it and a process without a splash image never loads it.
class GraphicsLibrary {
public:
    using Status = int;
    static constexpr Status kOk = 0;
    static constexpr int kInterpolationHighQualityBicubic = 7;
    static constexpr int kWrapTileFlipXY = 3;
    static constexpr int kUnitPixel = 2;
    static constexpr std::uint32_t kOpaqueBlack = 0xFF000000;

    // Started once per process, at the first call; shut down at exit.
    static GraphicsLibrary& instance() {
        static GraphicsLibrary library;
        return library;
    }

    GraphicsLibrary(const GraphicsLibrary&) = delete;
    GraphicsLibrary& operator=(const GraphicsLibrary&) = delete;

    bool started() const { return started_; }

    Status (WINAPI* createBitmapFromFile)(const wchar_t*, void**) = nullptr;
    Status (WINAPI* getImageWidth)(void*, UINT*) = nullptr;
    Status (WINAPI* getImageHeight)(void*, UINT*) = nullptr;
    Status (WINAPI* disposeImage)(void*) = nullptr;
    Status (WINAPI* createFromHdc)(HDC, void**) = nullptr;
    Status (WINAPI* deleteGraphics)(void*) = nullptr;
    Status (WINAPI* setInterpolationMode)(void*, int) = nullptr;
    Status (WINAPI* createImageAttributes)(void**) = nullptr;
    Status (WINAPI* setImageAttributesWrapMode)(void*, int, std::uint32_t, BOOL) = nullptr;
    Status (WINAPI* disposeImageAttributes)(void*) = nullptr;
    Status (WINAPI* drawImageRectRectI)(void*, void*, INT, INT, INT, INT, INT, INT, INT, INT, int, void*, void*,
                                        void*) = nullptr;

private:
    struct StartupInput {
        UINT32 version = 1;
        void* debugEventCallback = nullptr;
        BOOL suppressBackgroundThread = FALSE;
        BOOL suppressExternalCodecs = FALSE;
    };

    GraphicsLibrary() : module_(LoadLibraryW(L"gdiplus.dll")) {
        if (!module_) return;
        Status (WINAPI* startup)(ULONG_PTR*, const StartupInput*, void*) = nullptr;
        bool complete = resolve(startup, "GdiplusStartup") && resolve(shutdown_, "GdiplusShutdown") &&
                        resolve(createBitmapFromFile, "GdipCreateBitmapFromFile") &&
                        resolve(getImageWidth, "GdipGetImageWidth") && resolve(getImageHeight, "GdipGetImageHeight") &&
                        resolve(disposeImage, "GdipDisposeImage") && resolve(createFromHdc, "GdipCreateFromHDC") &&
                        resolve(deleteGraphics, "GdipDeleteGraphics") &&
                        resolve(setInterpolationMode, "GdipSetInterpolationMode") &&
                        resolve(createImageAttributes, "GdipCreateImageAttributes") &&
                        resolve(setImageAttributesWrapMode, "GdipSetImageAttributesWrapMode") &&
                        resolve(disposeImageAttributes, "GdipDisposeImageAttributes") &&
                        resolve(drawImageRectRectI, "GdipDrawImageRectRectI");
        StartupInput input;
        started_ = complete && startup(&token_, &input, nullptr) == kOk;
    }

    ~GraphicsLibrary() {
        if (started_) shutdown_(token_);
    }

    template <typename Function>
    bool resolve(Function& function, const char* name) {
        function = reinterpret_cast<Function>(GetProcAddress(module_.get(), name));
        return function != nullptr;
    }

    Module module_;
    void (WINAPI* shutdown_)(ULONG_PTR) = nullptr;
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

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

HWND SplashScreenWindow::create(const std::wstring& imagePath, bool shadow) {
    if (!registerWindowClass(shadow)) return nullptr;

    GraphicsLibrary& gdiplus = GraphicsLibrary::instance();
    void* source = nullptr;
    UINT width = 0;
    UINT height = 0;
    if (gdiplus.started() && gdiplus.createBitmapFromFile(imagePath.c_str(), &source) == GraphicsLibrary::kOk &&
        source) {
        if (gdiplus.getImageWidth(source, &width) != GraphicsLibrary::kOk ||
            gdiplus.getImageHeight(source, &height) != GraphicsLibrary::kOk)
            width = height = 0;
    }
    size_ = {static_cast<LONG>(width), static_cast<LONG>(height)};
    renderImage(source);
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

void SplashScreenWindow::renderImage(void* source) {
    image_.reset();
    ScreenDc screen;
    image_.reset(CreateCompatibleBitmap(screen.get(), size_.cx, size_.cy));
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!image_ || !memory || !source || size_.cx == 0 || size_.cy == 0) return;

    GraphicsLibrary& gdiplus = GraphicsLibrary::instance();
    Selection selected(memory.get(), image_.get());
    void* graphics = nullptr;
    if (gdiplus.createFromHdc(memory.get(), &graphics) != GraphicsLibrary::kOk || !graphics) return;
    gdiplus.setInterpolationMode(graphics, GraphicsLibrary::kInterpolationHighQualityBicubic);
    void* attributes = nullptr;
    if (gdiplus.createImageAttributes(&attributes) == GraphicsLibrary::kOk && attributes)
        gdiplus.setImageAttributesWrapMode(attributes, GraphicsLibrary::kWrapTileFlipXY, GraphicsLibrary::kOpaqueBlack,
                                           FALSE);
    // Drawn at the image's own size; a failed drawing leaves the bitmap black.
    gdiplus.drawImageRectRectI(graphics, source, 0, 0, size_.cx, size_.cy, 0, 0, size_.cx, size_.cy,
                               GraphicsLibrary::kUnitPixel, attributes, nullptr, nullptr);
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
