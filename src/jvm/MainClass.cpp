#include "launcher/LauncherApp.h"

namespace vexa {

bool LauncherApp::callMainClass() { return reportNotBuilt(*this, L"call the main class"); }

bool LauncherApp::showJavaException(jthrowable, JNIEnv*) { return true; }

}  // namespace vexa
