// The launcher's own splash window.
#pragma once

namespace vexa {

class SplashScreenWindow {
public:
    virtual ~SplashScreenWindow() = default;
};

}  // namespace vexa
