#include <windows.h>
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "foundation/ProcessView.h"

#include "foundation/CommandLine.h"
#include "foundation/Handle.h"
#include "foundation/ShellApi.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"

namespace vexa {

std::uint32_t queryExecutablePath(std::wstring& path) {
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

namespace {

// Volume and file index of an existing file or folder; false when it cannot
// be opened.
bool fileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    FileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info);
}

std::wstring lastComponent(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

// Whether an unquoted run of the command line is this executable's own path,
// as the system resolves a program name: against the working folder, with
// ".exe" added when the name has no extension, and compared as a file, so
// that letter case and short (8.3) names do not matter. The last component
// is checked first, so that only likely runs cost a file lookup.
class ModuleNameTest {
public:
    explicit ModuleNameTest(const std::wstring& executable) : executable_(executable) {}

    bool operator()(std::wstring_view candidate) const {
        // Only an unquoted program name with blanks asks; the names and the
        // file identity are looked up then, not at every start.
        if (!prepared_) prepare();
        return test(candidate);
    }

private:
    void prepare() const {
        prepared_ = true;
        const std::wstring& executable = executable_;
        if (executable.empty()) return;
        names_.push_back(lastComponent(executable));
        const size_t dot = names_[0].rfind(L'.');
        if (dot != std::wstring::npos) names_.push_back(names_[0].substr(0, dot));
        std::wstring shortPath(executable.size() + 1, L'\0');
        const DWORD length = GetShortPathNameW(executable.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
        if (length > 0 && length < shortPath.size()) {
            shortPath.resize(length);
            const std::wstring shortName = lastComponent(shortPath);
            names_.push_back(shortName);
            const size_t shortDot = shortName.rfind(L'.');
            if (shortDot != std::wstring::npos) names_.push_back(shortName.substr(0, shortDot));
        }
        haveIdentity_ = fileIdentity(executable, identity_);
    }

    bool test(std::wstring_view candidate) const {
        const std::wstring last = lastComponent(candidate);
        bool likely = false;
        for (const std::wstring& name : names_) likely = likely || equalsIgnoreCase(last, name);
        if (!likely) return false;
        std::wstring form(candidate);
        if (last.find(L'.') == std::wstring::npos) form += L".exe";
        std::wstring full(MAX_PATH, L'\0');
        DWORD length = GetFullPathNameW(form.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length >= full.size()) {
            full.resize(length);
            length = GetFullPathNameW(form.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        }
        if (length == 0 || length >= full.size()) return false;
        full.resize(length);
        if (equalsIgnoreCase(full, executable_)) return true;
        BY_HANDLE_FILE_INFORMATION info{};
        return haveIdentity_ && fileIdentity(full, info) &&
               info.dwVolumeSerialNumber == identity_.dwVolumeSerialNumber &&
               info.nFileIndexHigh == identity_.nFileIndexHigh && info.nFileIndexLow == identity_.nFileIndexLow;
    }

    std::wstring executable_;
    mutable bool prepared_ = false;
    mutable std::vector<std::wstring> names_;
    mutable bool haveIdentity_ = false;
    mutable BY_HANDLE_FILE_INFORMATION identity_{};
};

}  // namespace

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::vector<std::wstring> readArguments(const std::wstring& executable) {
    const wchar_t* commandLine = GetCommandLineW();
    // The executable path only helps to recognise an unquoted program name
    // with spaces; without it the first piece is the program name.
    const ModuleNameTest namesModule(executable);
    return argumentsOfCommandLine(commandLine ? commandLine : L"", [&namesModule](std::wstring_view candidate) {
        return namesModule(candidate);
    });
}

void applyWorkingDirectory(const std::wstring& executable) {
    size_t slash = executable.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return;
    SetCurrentDirectoryW(executable.substr(0, slash).c_str());
}

bool hasNoSplashSwitch(const std::vector<std::wstring>& arguments) {
    for (const auto& argument : arguments) {
        if (argument == L"-nosplash" || argument == L"/nosplash") return true;
    }
    return false;
}

bool isSameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return fileIdentity(a, first) && fileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

std::wstring userDataFolder() {
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
        const ShellApi shell;
        PWSTR known = nullptr;
        if (shell.knownFolderPath && shell.coTaskMemFree) {
            if (SUCCEEDED(shell.knownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known)) && known) folder = known;
            shell.coTaskMemFree(known);
        }
    }
    return folder;
}

}  // namespace vexa
