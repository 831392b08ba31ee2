#include "launcher/LauncherApp.h"
#include "splash/SplashScreenWindow.h"

namespace vexa {

bool LauncherApp::startSplash() { return true; }

void LauncherApp::closeSplashWindow() {}

}  // namespace vexa
