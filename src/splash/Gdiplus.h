// GDI+, bound at run time through its flat interface.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/Handle.h"

namespace vexa {

// A GDI+ session and the part of its flat interface that the splash window
// uses. The library is bound when the session starts, so that the launcher
// does not import it and a process without a splash image never loads it.
class GdiplusSession {
public:
    using Status = int;
    static constexpr Status kOk = 0;
    static constexpr int kInterpolationHighQualityBicubic = 7;
    static constexpr int kWrapTileFlipXY = 3;
    static constexpr int kUnitPixel = 2;
    static constexpr std::uint32_t kOpaqueBlack = 0xFF000000;

    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

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

}  // namespace vexa
