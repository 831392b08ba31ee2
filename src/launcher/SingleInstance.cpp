#include "launcher/LauncherApp.h"

namespace vexa {

bool LauncherApp::SetupSingleInstance() { return true; }

std::int32_t LauncherApp::WaitForFirstInstance() { return 0; }

void LauncherApp::ShutdownSingleInstance() {}

}  // namespace vexa
