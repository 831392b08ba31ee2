// Java runtime folders and registry registrations for the tests of the
// runtime search. Every registration is removed again when its object ends,
// with every key it had to create, also when the test fails.
#pragma once

#include <windows.h>

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

// A runtime registered as HKEY_LOCAL_MACHINE\<key><version> with a "JavaHome"
// value (none when `javaHome` is std::nullopt), in the 64-bit view or, with
// `wow32`, in the 32-bit view.
class RuntimeRegistration {
public:
    RuntimeRegistration(const std::wstring& key, const std::wstring& version, std::optional<std::wstring> javaHome,
                        bool wow32 = false)
        : view_(wow32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY) {
        const std::wstring path = key + version;
        // Only levels that do not exist yet are removed at the end.
        for (size_t slash = path.find(L'\\'); ; slash = path.find(L'\\', slash + 1)) {
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
        HKEY versionKey = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                            &versionKey, nullptr) != ERROR_SUCCESS) {
            removeCreated();
            throw std::runtime_error("cannot register a runtime under " + narrow(path));
        }
        if (javaHome) {
            RegSetValueExW(versionKey, L"JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(javaHome->c_str()),
                           static_cast<DWORD>((javaHome->size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(versionKey);
    }
    ~RuntimeRegistration() { removeCreated(); }
    RuntimeRegistration(const RuntimeRegistration&) = delete;
    RuntimeRegistration& operator=(const RuntimeRegistration&) = delete;

private:
    void removeCreated() {
        // Deepest first; a level that still holds other keys stays.
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            if (RegDeleteKeyExW(HKEY_LOCAL_MACHINE, it->c_str(), view_, 0) != ERROR_SUCCESS) break;
        }
    }

    REGSAM view_;
    std::vector<std::wstring> created_;
};

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

}  // namespace vexa::test
