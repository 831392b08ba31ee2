#include "TestSupport.h"

#include "Poll.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace vexa::test {

std::wstring binDir() {
    std::wstring buffer(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    return buffer.substr(0, buffer.rfind(L'\\') + 1);
}

std::wstring artefact(const std::wstring& relative) { return binDir() + relative; }

std::wstring launcherUnderTest() {
    wchar_t name[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"VEXA_TEST_LAUNCHER", name, MAX_PATH);
    return artefact(length > 0 && length < MAX_PATH ? std::wstring(name, length) : L"vexa.exe");
}

bool launcherIs32Bit() {
    wchar_t name[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"VEXA_TEST_LAUNCHER", name, MAX_PATH);
    return length > 0 && length < MAX_PATH && lstrcmpiW(name, L"vexa32.exe") == 0;
}

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

std::string narrow(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

void makeDirs(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (path.empty() || exists(path)) return;
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 2) makeDirs(path.substr(0, slash));
    CreateDirectoryW(path.c_str(), nullptr);
}

void writeFile(const std::wstring& path, std::string_view bytes) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) makeDirs(path.substr(0, slash));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + narrow(path));
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) out.append(buffer, read);
    CloseHandle(file);
    return out;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void copyFile(const std::wstring& from, const std::wstring& to) {
    size_t slash = to.find_last_of(L"\\/");
    if (slash != std::wstring::npos) makeDirs(to.substr(0, slash));
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + narrow(from) + " to " + narrow(to));
}

void removeTree(const std::wstring& path) {
    std::wstring folder = path;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    for (;;) {
        std::wstring candidate = std::wstring(base) + L"vexa-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate + L"\\";
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
    }
}

TempDir::~TempDir() { removeTree(path_); }

namespace {

std::vector<wchar_t> environmentBlock(const std::map<std::wstring, std::optional<std::wstring>>& changes) {
    // Start from this process's environment; names compare ignoring case.
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> entries;  // upper name -> (name, value)
    auto upper = [](std::wstring s) {
        CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
        return s;
    };
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        size_t eq = entry.find(L'=', 1);
        if (eq == std::wstring::npos) continue;
        std::wstring name = entry.substr(0, eq);
        entries[upper(name)] = {name, entry.substr(eq + 1)};
    }
    FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : changes) {
        if (value) entries[upper(name)] = {name, *value};
        else entries.erase(upper(name));
    }
    std::vector<wchar_t> out;
    for (const auto& [key, entry] : entries) {
        std::wstring line = entry.first + L"=" + entry.second;
        out.insert(out.end(), line.begin(), line.end());
        out.push_back(L'\0');
    }
    out.push_back(L'\0');
    return out;
}

}  // namespace

std::string utf16Bytes(std::wstring_view text, bool bigEndian) {
    std::string bytes;
    for (wchar_t c : text) {
        const char low = static_cast<char>(c & 0xFF);
        const char high = static_cast<char>((c >> 8) & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::string registryString(std::wstring_view text) { return utf16Bytes(text) + std::string(2, '\0'); }

std::string withSlashes(const std::wstring& path) {
    std::string text = narrow(path);
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) { return pollUntil(condition, timeoutMs); }

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HWND splashWindowOf(DWORD pid) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"SplashScreenWindow", nullptr); w;
         w = FindWindowExW(nullptr, w, L"SplashScreenWindow", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid) return w;
    }
    return nullptr;
}

RegistryValues::~RegistryValues() {
    for (const auto& [name, old] : saved_) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) continue;
        if (old.first == REG_NONE)
            RegDeleteValueW(key, name.c_str());
        else
            RegSetValueExW(key, name.c_str(), 0, old.first, reinterpret_cast<const BYTE*>(old.second.data()),
                           static_cast<DWORD>(old.second.size()));
        RegCloseKey(key);
    }
}

void RegistryValues::set(const std::wstring& name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr), 0);
    if (!saved_.count(name)) {
        DWORD oldType = REG_NONE, size = 0;
        std::string old;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &oldType, nullptr, &size) == 0) {
            old.resize(size);
            RegQueryValueExW(key, name.c_str(), nullptr, &oldType, reinterpret_cast<BYTE*>(old.data()), &size);
        } else {
            oldType = REG_NONE;
        }
        saved_[name] = {oldType, old};
    }
    RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void RegistryValues::remove(const std::wstring& name) {
    set(name, REG_SZ, "");  // records the old value
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_WRITE, &key) == 0) {
        RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
    }
}

// Starts a process. Under a loaded Wine a start can fail for a moment without
// any fault of the program started, so a failed start is tried again a few
// times; a lasting failure is printed, so that the test log names it.
static bool createProcess(const wchar_t* application, std::wstring commandLine, BOOL inheritHandles, DWORD flags,
                   void* environment, const wchar_t* workingDirectory, STARTUPINFOW& startup,
                   PROCESS_INFORMATION& info, DWORD& error) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::wstring line = commandLine;  // CreateProcessW may write into it
        if (CreateProcessW(application, line.data(), nullptr, nullptr, inheritHandles, flags, environment,
                           workingDirectory, &startup, &info))
            return true;
        error = GetLastError();
        std::fprintf(stderr, "cannot start %s (error %lu, attempt %d)\n", narrow(commandLine).c_str(), error,
                     attempt + 1);
        Sleep(200);
    }
    return false;
}

ChildProcess::ChildProcess(const Options& options) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> environment;
    if (!options.environment.empty()) environment = environmentBlock(options.environment);
    if (!createProcess(options.application.empty() ? nullptr : options.application.c_str(), options.commandLine,
                       FALSE, environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                       environment.empty() ? nullptr : environment.data(),
                       options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), startup, info,
                       startError_))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
}

ChildProcess::~ChildProcess() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) kill();
    CloseHandle(process_);
}

bool ChildProcess::wait(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

std::int32_t ChildProcess::exitCode(DWORD timeoutMs) {
    if (!wait(timeoutMs)) return 0x7FFFFFFF;  // still running (or never started)
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<std::int32_t>(code);
}

void ChildProcess::kill() {
    if (process_) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
    }
}

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

LauncherCopy::LauncherCopy(const std::wstring& folder, const std::wstring& exeName,
                           const std::optional<std::string>& iniText)
    : folder_(folder), exePath_(folder + exeName) {
    size_t dot = exePath_.rfind(L'.');
    size_t slash = exePath_.rfind(L'\\');
    iniPath_ = (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? exePath_.substr(0, dot)
                                                                                          : exePath_) +
               L".ini";
    copyFile(launcherUnderTest(), exePath_);
    if (iniText) writeFile(iniPath_, *iniText);
}

ChildProcess LauncherCopy::start(const std::wstring& arguments,
                                 std::map<std::wstring, std::optional<std::wstring>> environment) const {
    ChildProcess::Options options;
    options.application = exePath_;
    options.commandLine = quoted(exePath_) + (arguments.empty() ? L"" : L" " + arguments);
    options.environment = std::move(environment);
    return ChildProcess(options);
}

std::wstring WindowSnapshot::text(int id) const {
    for (const auto& control : controls) {
        if (control.id == id) return control.text;
    }
    return {};
}

namespace {

std::wstring unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return widen(out);
}

WindowSnapshot parseSnapshot(const std::string& output) {
    WindowSnapshot snapshot;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        snapshot.lines.push_back(line);
        size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "hwnd") snapshot.found = true;
        else if (key == "class") snapshot.className = unescape(rest);
        else if (key == "caption") snapshot.caption = unescape(rest);
        else if (key == "rect")
            std::sscanf(rest.c_str(), "%ld %ld %ld %ld", &snapshot.rect.left, &snapshot.rect.top, &snapshot.rect.right,
                        &snapshot.rect.bottom);
        else if (key == "style") snapshot.style = std::stoul(rest, nullptr, 0);
        else if (key == "exstyle") snapshot.exStyle = std::stoul(rest, nullptr, 0);
        else if (key == "classstyle") snapshot.classStyle = std::stoul(rest, nullptr, 0);
        else if (key == "ownerclass") snapshot.ownerClass = unescape(rest);
        else if (key == "gone") snapshot.gone = true;
        else if (key == "control") {
            WindowSnapshot::Control control;
            size_t second = rest.find(' ');
            size_t third = second == std::string::npos ? std::string::npos : rest.find(' ', second + 1);
            control.id = std::stoi(rest.substr(0, second));
            if (second != std::string::npos) {
                control.className = unescape(rest.substr(second + 1, third - second - 1));
                control.text = third == std::string::npos ? L"" : unescape(rest.substr(third + 1));
            }
            snapshot.controls.push_back(control);
        }
    }
    return snapshot;
}

}  // namespace

WindowSnapshot waitForWindow(DWORD pid, const UiAction& action, DWORD timeoutMs, const std::wstring& windowClass) {
    std::wstring arguments = L"--class " + quoted(windowClass);
    if (action.press >= 0) arguments += L" --press " + std::to_wstring(action.press);
    if (!action.key.empty()) arguments += L" --key " + action.key;
    if (action.close) arguments += L" --close";
    return runUiHelper(pid, arguments, timeoutMs);
}

WindowSnapshot runUiHelper(DWORD pid, const std::wstring& arguments, DWORD timeoutMs) {
    if (pid == 0) {
        std::fprintf(stderr, "no window to wait for: the process did not start\n");
        return {};
    }
    TempDir scratch;
    std::wstring outputPath = scratch / L"ui.txt";
    std::wstring command = quoted(artefact(L"vexa-ui.exe")) +
                           L" --pid " + std::to_wstring(pid) +
                           L" --timeout " + std::to_wstring(timeoutMs) + L" " + arguments;

    // The helper's output goes to a file: pipes to Wine programs can stay open.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    DWORD error = 0;
    if (!createProcess(nullptr, command, TRUE, 0, nullptr, nullptr, startup, info, error)) {
        CloseHandle(out);
        return {};
    }
    CloseHandle(out);
    WaitForSingleObject(info.hProcess, timeoutMs + 20000);
    DWORD helperExit = 0;
    GetExitCodeProcess(info.hProcess, &helperExit);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    const std::string output = readFile(outputPath);
    // 0: found, 2: not found, 3: still there after the action. Anything else
    // is the helper failing, which the log should show.
    if (helperExit != 0 && helperExit != 2 && helperExit != 3)
        std::fprintf(stderr, "vexa-ui ended with %lu: %s\n", helperExit, output.c_str());
    return parseSnapshot(output);
}

WindowSnapshot answerMessageBox(DWORD pid, DWORD timeoutMs) {
    UiAction ok;
    ok.press = IDOK;
    return waitForWindow(pid, ok, timeoutMs);
}

}  // namespace vexa::test
