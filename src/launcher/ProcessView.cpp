#include <windows.h>
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "foundation/WinText.h"
#include "launcher/CommandLine.h"
#include "launcher/LauncherApp.h"
#include "resources/resource.h"
#include "ui/Messages.h"

namespace vexa {

namespace {

// The executable's full path, the buffer growing until the whole path fits:
// a path cut at 260 characters would name the wrong settings file. Zero on
// success, else the Windows error code.
DWORD queryExecutablePath(std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
        if (length < buffer.size()) {
            buffer.resize(length);
            path = std::move(buffer);
            return ERROR_SUCCESS;
        }
        if (buffer.size() >= 32768) return ERROR_INSUFFICIENT_BUFFER;
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

bool LauncherApp::GetExecutablePath(std::wstring& path) {
    DWORD error = queryExecutablePath(path);
    if (error == ERROR_SUCCESS) return true;
    path.clear();
    showWindowsError(messageOwner, IDS_MODULE_PATH_FAILED, error);
    return false;
}

bool LauncherApp::GetLauncherFolder(std::wstring& folder) {
    std::wstring path;
    if (!GetExecutablePath(path)) return false;
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) folder = path.substr(0, slash + 1);
    return true;
}

void LauncherApp::ReadArguments(std::vector<std::wstring>& out) {
    const wchar_t* commandLine = GetCommandLineW();
    // The executable path only helps to recognise an unquoted program name
    // with spaces; without it the first piece is the program name.
    std::wstring executable;
    queryExecutablePath(executable);
    out = argumentsOfCommandLine(commandLine ? commandLine : L"", executable);
}

void LauncherApp::ApplyWorkingDirectory() {
    std::wstring path;
    if (!GetExecutablePath(path)) return;
    size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return;
    SetCurrentDirectoryW(path.substr(0, slash).c_str());
}

bool LauncherApp::HasNoSplashSwitch() const {
    for (const auto& argument : arguments) {
        if (argument == L"-nosplash") return true;
    }
    for (const auto& argument : arguments) {
        if (argument == L"/nosplash") return true;
    }
    return false;
}

std::wstring GetUserDataFolder() {
    // APPDATA when it names a full path (drive and "\", or a UNC path); a
    // relative value would put the per-user file wherever the process
    // happens to be.
    std::wstring folder = environmentValue(L"APPDATA");
    const bool full = (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\') ||
                      (folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\');
    if (!full) {
        // Without it, the shell knows the user's folder. Never the root of
        // the current drive, where any user may create folders.
        folder.clear();
        PWSTR known = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known)) && known) folder = known;
        CoTaskMemFree(known);
    }
    return folder;
}

}  // namespace vexa
