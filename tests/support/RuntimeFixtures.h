// Java runtime folders and registry registrations for the tests of the
// runtime search. Every registration is removed again when its object ends,
// with every key it had to create, also when the test fails.
#pragma once

#include <windows.h>

#include <cwchar>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace vexa::test {

// A runtime folder holding empty files under the given relative names, such
// as L"bin\\client\\jvm.dll"; `home` ends in "\".
inline void makeRuntimeFiles(const std::wstring& home, std::initializer_list<const wchar_t*> files) {
    for (const wchar_t* file : files) writeFile(home + file, "");
}

// The first bytes of a PE image for `machine` (IMAGE_FILE_MACHINE_I386 or
// IMAGE_FILE_MACHINE_AMD64): enough for a machine-type check, not loadable.
inline std::string peImageHeader(WORD machine) {
    std::string bytes(0x200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = static_cast<char>(0x80);  // e_lfanew
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    bytes[0x84] = static_cast<char>(machine & 0xff);
    bytes[0x85] = static_cast<char>(machine >> 8);
    return bytes;
}

namespace detail {

// Every key a registration creates carries this value, naming the process
// that owns it, so that keys left behind by a test process that was killed
// (a timeout) are removed by the next registration.
inline const wchar_t* const kOwnerValue = L"Vexa Test Owner";

inline std::wstring processTag(HANDLE process, DWORD pid) {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return std::to_wstring(pid) + L":" +
           std::to_wstring((static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
}

inline std::wstring ownTag() { return processTag(GetCurrentProcess(), GetCurrentProcessId()); }

// Whether the process named by a tag still runs.
inline bool ownerAlive(const std::wstring& tag) {
    const DWORD pid = static_cast<DWORD>(std::wcstoul(tag.c_str(), nullptr, 10));
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    DWORD code = 0;
    const bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE && processTag(process, pid) == tag;
    CloseHandle(process);
    return alive;
}

// The owner tag of a key, empty when it has none.
inline std::wstring ownerOf(HKEY key) {
    wchar_t tag[64] = {};
    DWORD size = sizeof(tag) - sizeof(wchar_t);
    if (RegQueryValueExW(key, kOwnerValue, nullptr, nullptr, reinterpret_cast<BYTE*>(tag), &size) != ERROR_SUCCESS)
        return {};
    return tag;
}

// Removes the keys below `path` (and `path` itself when it ends up empty)
// whose owner process has ended.
inline void removeAbandoned(const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    std::vector<std::wstring> abandoned;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ | view, &sub) != ERROR_SUCCESS) continue;
        std::wstring owner = ownerOf(sub);
        RegCloseKey(sub);
        if (!owner.empty() && !ownerAlive(owner)) abandoned.push_back(path + L"\\" + name);
    }
    std::wstring owner = ownerOf(key);
    RegCloseKey(key);
    for (const std::wstring& sub : abandoned) {
        HKEY doomed = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_ALL_ACCESS | view, &doomed) == ERROR_SUCCESS) {
            RegDeleteTreeW(doomed, nullptr);
            RegCloseKey(doomed);
        }
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), view, 0);
    }
    if (!owner.empty() && !ownerAlive(owner)) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);  // only when empty
}

}  // namespace detail

// The registration keys of the runtime search, in search order.
inline const wchar_t* const kRuntimeKeys[] = {
    L"Software\\JavaSoft\\JDK\\",
    L"Software\\JavaSoft\\JRE\\",
    L"Software\\JavaSoft\\Java Development Kit\\",
    L"Software\\JavaSoft\\Java Runtime Environment\\",
    L"Software\\JRockit\\Java Runtime Environment\\",
    L"Software\\JRockit\\Java Development Kit\\",
    L"Software\\IBM\\Java2 Runtime Environment\\",
};

// Removes, in both views, what registrations of test processes that have
// ended left behind.
inline void removeAbandonedRegistrations() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (const wchar_t* key : kRuntimeKeys) {
            std::wstring path(key);
            path.pop_back();
            detail::removeAbandoned(path, view);
            detail::removeAbandoned(path.substr(0, path.rfind(L'\\')), view);
        }
    }
}

// A runtime registered as HKEY_LOCAL_MACHINE\<key><version> with a "JavaHome"
// value (none when `javaHome` is std::nullopt), in the 64-bit view or, with
// `wow32`, in the 32-bit view.
class RuntimeRegistration {
public:
    RuntimeRegistration(const std::wstring& key, const std::wstring& version, std::optional<std::wstring> javaHome,
                        bool wow32 = false)
        : view_(wow32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY) {
        removeAbandonedRegistrations();
        const std::wstring path = key + version;
        path_ = path;
        // Only levels that do not exist yet are marked as this process's.
        for (size_t slash = path.find(L'\\');; slash = path.find(L'\\', slash + 1)) {
            std::wstring level = path.substr(0, slash);
            if (!level.empty() && level.back() != L'\\') {
                HKEY probe = nullptr;
                if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, level.c_str(), 0, KEY_READ | view_, &probe) == ERROR_SUCCESS)
                    RegCloseKey(probe);
                else
                    created_.push_back(level);
            }
            if (slash == std::wstring::npos) break;
        }
        if (created_.empty() || created_.back() != path) created_.push_back(path);  // the version key always goes
        const std::wstring tag = detail::ownTag();
        for (const std::wstring& level : created_) {
            HKEY created = nullptr;
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, level.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                                &created, nullptr) != ERROR_SUCCESS) {
                removeCreated();
                throw std::runtime_error("cannot register a runtime under " + narrow(path));
            }
            RegSetValueExW(created, detail::kOwnerValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(tag.c_str()),
                           static_cast<DWORD>((tag.size() + 1) * sizeof(wchar_t)));
            if (level == path && javaHome) {
                RegSetValueExW(created, L"JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(javaHome->c_str()),
                               static_cast<DWORD>((javaHome->size() + 1) * sizeof(wchar_t)));
            }
            RegCloseKey(created);
        }
    }
    ~RuntimeRegistration() { removeCreated(); }
    RuntimeRegistration(const RuntimeRegistration&) = delete;
    RuntimeRegistration& operator=(const RuntimeRegistration&) = delete;

private:
    // Removes the version key and then each parent level this process
    // created, deepest first, while they are empty.
    void removeCreated() {
        const std::wstring tag = detail::ownTag();
        std::wstring level = path_;
        for (;;) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, level.c_str(), 0, KEY_READ | view_, &key) != ERROR_SUCCESS) break;
            const std::wstring owner = detail::ownerOf(key);
            RegCloseKey(key);
            if (owner != tag || RegDeleteKeyExW(HKEY_LOCAL_MACHINE, level.c_str(), view_, 0) != ERROR_SUCCESS) break;
            const size_t slash = level.rfind(L'\\');
            if (slash == std::wstring::npos) break;
            level.resize(slash);
        }
    }

    REGSAM view_;
    std::wstring path_;
    std::vector<std::wstring> created_;
};

}  // namespace vexa::test
