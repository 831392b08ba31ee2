#include "launcher/LauncherApp.h"

namespace vexa {

bool LauncherApp::loadJvmLibrary(const std::wstring&) { return reportNotBuilt(*this, L"load the Java VM"); }

bool LauncherApp::createJvm() { return reportNotBuilt(*this, L"create the Java VM"); }

bool LauncherApp::redirectStream(const std::wstring&, bool, JavaStream) { return false; }

}  // namespace vexa
