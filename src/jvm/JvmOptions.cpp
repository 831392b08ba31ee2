#include "launcher/LauncherApp.h"

namespace vexa {

bool LauncherApp::BuildJvmOptions() { return reportNotBuilt(*this, L"build the Java VM options"); }

void LauncherApp::ExpandClassPathEntry(const std::wstring&, std::wstring&) {}

void LauncherApp::ProcessVmParameter(std::wstring, std::vector<std::wstring>&) {}

}  // namespace vexa
