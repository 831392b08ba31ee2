#include "config/SettingsStore.h"
#include "launcher/LauncherApp.h"

namespace vexa {

// Forwarding a second start to the running copy is not part of this build.
// An application that asks for it is told so rather than silently run as
// independent copies.
bool LauncherApp::SetupSingleInstance() {
    std::wstring path;
    if (!SettingsFile::mainPath(*this, path)) return false;
    LayeredSettingsFile settings(path, embeddedSettings);
    if (settings.readValue(L"Application", L"Application Type") == L"service") return true;
    if (settings.readValue(L"Application", L"Single Instance") != L"yes") return true;
    return reportNotBuilt(*this, L"run as a single instance");
}

std::int32_t LauncherApp::WaitForFirstInstance() { return 0; }

void LauncherApp::ShutdownSingleInstance() {}

}  // namespace vexa
