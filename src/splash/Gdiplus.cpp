#include "splash/Gdiplus.h"

#include "foundation/SystemLibrary.h"

namespace vexa {

GdiplusSession::GdiplusSession() : module_(loadSystemLibrary(L"gdiplus.dll")) {
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

GdiplusSession::~GdiplusSession() {
    if (started_) shutdown_(token_);
}

}  // namespace vexa
