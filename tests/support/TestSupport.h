// Helpers for the end-to-end tests: temporary folders, launcher copies with
// their settings files, child processes with exact command lines, and the UI
// helper program that reads and answers message boxes and dialogs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa::test {

// The folder of the running test program (the build's bin folder), ending in "\".
std::wstring binDir();
// A file built beside the test programs, for example L"vexa.exe".
std::wstring artefact(const std::wstring& relative);

// The launcher the end-to-end tests start: vexa.exe, or the file that
// VEXA_TEST_LAUNCHER names (vexa32.exe for the 32-bit run of the launch
// suites).
std::wstring launcherUnderTest();
// Whether that launcher is the 32-bit one: the tests then mirror what they
// lay out (32-bit runtimes, the 32-bit registry view as the launcher's own).
bool launcherIs32Bit();

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view text);

// Text as UTF-16 bytes, little-endian unless `bigEndian`; no byte-order mark
// unless the text starts with U+FEFF.
std::string utf16Bytes(std::wstring_view text, bool bigEndian = false);
// Registry string data (REG_SZ, REG_EXPAND_SZ): UTF-16 with its closing NUL.
std::string registryString(std::wstring_view text);
// A path as UTF-8 with "/" for every "\".
std::string withSlashes(const std::wstring& path);

// Polls `condition` every 20 ms until it holds or `timeoutMs` have passed;
// whether it held. The deadline is a bound for a test gone wrong, never a
// wait the test relies on.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 60000);

// Files.
void makeDirs(const std::wstring& folder);
void writeFile(const std::wstring& path, std::string_view bytes);  // parent folders are created
std::string readFile(const std::wstring& path);                     // empty when missing
bool exists(const std::wstring& path);
bool isFolder(const std::wstring& path);
void copyFile(const std::wstring& from, const std::wstring& to);
void removeTree(const std::wstring& path);

// A fresh folder under the system temporary folder, removed with everything
// in it when the object ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }  // ends in "\"
    std::wstring operator/(const std::wstring& relative) const { return path_ + relative; }

private:
    std::wstring path_;
};

// A started Windows process. A process still running when the object ends is
// terminated.
class ChildProcess {
public:
    struct Options {
        std::wstring application;  // empty: taken from the command line
        std::wstring commandLine;  // passed exactly as written
        std::wstring workingDirectory;
        // Variables set (or, with std::nullopt, removed) on top of this
        // process's environment.
        std::map<std::wstring, std::optional<std::wstring>> environment;
    };

    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD startError() const { return startError_; }
    DWORD pid() const { return pid_; }
    // Waits up to `timeoutMs`; true when the process has ended.
    bool wait(DWORD timeoutMs);
    // The exit code as a signed 32-bit value (-1 for 0xFFFFFFFF); waits first.
    std::int32_t exitCode(DWORD timeoutMs = 120000);
    void kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    DWORD startError_ = 0;
};

// Quotes a path for a command line.
std::wstring quoted(const std::wstring& text);

// A copy of vexa.exe, renamed as a user would ship it, with its settings file.
class LauncherCopy {
public:
    // `exeName` is the file name (for example L"MyApp.exe"); the settings
    // file is written as UTF-8 beside it unless `iniText` is std::nullopt.
    LauncherCopy(const std::wstring& folder, const std::wstring& exeName,
                 const std::optional<std::string>& iniText = std::string());
    const std::wstring& exePath() const { return exePath_; }
    const std::wstring& iniPath() const { return iniPath_; }
    const std::wstring& folder() const { return folder_; }
    // Starts the copy with a command line made of its quoted path and `arguments`.
    ChildProcess start(const std::wstring& arguments = L"",
                       std::map<std::wstring, std::optional<std::wstring>> environment = {}) const;

private:
    std::wstring folder_;
    std::wstring exePath_;
    std::wstring iniPath_;
};

// The splash window (class "SplashScreenWindow") of process `pid`, visible
// or not; null when it has none.
HWND splashWindowOf(DWORD pid);

// Values of one registry key set for a test and restored (or removed again)
// when the object ends.
class RegistryValues {
public:
    RegistryValues(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {}
    ~RegistryValues();
    RegistryValues(const RegistryValues&) = delete;
    RegistryValues& operator=(const RegistryValues&) = delete;
    void set(const std::wstring& name, DWORD type, const std::string& bytes);
    void remove(const std::wstring& name);

private:
    HKEY root_;
    std::wstring path_;
    std::map<std::wstring, std::pair<DWORD, std::string>> saved_;
};

// What the UI helper saw of a window.
struct WindowSnapshot {
    struct Control {
        int id = 0;
        std::wstring className;
        std::wstring text;
    };
    bool found = false;
    std::wstring className;
    std::wstring caption;
    RECT rect{};
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD classStyle = 0;
    std::wstring ownerClass;
    std::vector<Control> controls;
    bool gone = false;  // the window went away after the action
    std::vector<std::string> lines;  // everything the helper printed, line by line

    // Text of the control with this id; empty when there is none.
    std::wstring text(int id) const;
    // The message text of a message box.
    std::wstring message() const { return text(0xFFFF); }
};

// Runs the UI helper program (vexa-ui.exe) against process `pid`.
struct UiAction {
    int press = -1;      // button id to press
    std::wstring key;    // L"escape" or L"enter"
    bool close = false;  // the close box
};
WindowSnapshot waitForWindow(DWORD pid, const UiAction& action = {}, DWORD timeoutMs = 60000,
                             const std::wstring& windowClass = L"#32770");

// Runs the UI helper against process `pid` with further arguments of its own
// (steps, actions, filters) after "--pid N --timeout MS".
WindowSnapshot runUiHelper(DWORD pid, const std::wstring& arguments, DWORD timeoutMs = 60000);

// Shortcut: the message box of `pid`, answered with OK.
WindowSnapshot answerMessageBox(DWORD pid, DWORD timeoutMs = 60000);

}  // namespace vexa::test
