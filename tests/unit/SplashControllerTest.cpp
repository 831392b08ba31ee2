// The splash controller's pieces that need no window: where a runtime's
// native splash library is looked for, and the call-once holder of its close
// function.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvm/Jni.h"
#include "splash/SplashController.h"

using namespace vexa;

namespace {

// A fresh folder under the temporary folder, removed with its files at the end.
class Folder {
public:
    Folder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        path_ = std::wstring(temp) + L"vexa-splashlib-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~Folder() {
        for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
            DeleteFileW(it->c_str());
            RemoveDirectoryW(it->c_str());
        }
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    void makeFile(const std::wstring& relative) {
        std::wstring at = path_;
        size_t start = 0;
        for (size_t slash; (slash = relative.find(L'\\', start)) != std::wstring::npos; start = slash + 1) {
            at = path_ + L"\\" + relative.substr(0, slash);
            if (CreateDirectoryW(at.c_str(), nullptr)) files_.push_back(at);
        }
        std::wstring file = path_ + L"\\" + relative;
        CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        files_.push_back(file);
    }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

std::vector<int> g_calls;
void JNICALL closeA() { g_calls.push_back(1); }
void JNICALL closeB() { g_calls.push_back(2); }

}  // namespace

TEST(NativeSplashLibrary, IsLookedForTwoFoldersAboveTheJvmLibrary) {
    Folder root;
    const std::wstring r = root.path();
    root.makeFile(L"jre\\bin\\server\\jvm.dll");
    root.makeFile(L"jre\\bin\\splashscreen.dll");
    root.makeFile(L"flat\\bin\\jvm.dll");
    root.makeFile(L"flat\\splashscreen.dll");
    root.makeFile(L"bare\\bin\\server\\jvm.dll");
    struct Case {
        std::wstring jvm;
        std::wstring expected;
    };
    const Case cases[] = {
        {r + L"\\jre\\bin\\server\\jvm.dll", r + L"\\jre\\bin\\splashscreen.dll"},
        // The JVM library need not exist; only the splash library is looked up.
        {r + L"\\jre\\bin\\client\\jvm.dll", r + L"\\jre\\bin\\splashscreen.dll"},
        // One level only: the folder above "bin".
        {r + L"\\flat\\bin\\jvm.dll", r + L"\\flat\\splashscreen.dll"},
        {r + L"\\bare\\bin\\server\\jvm.dll", L""},
        {r + L"\\missing\\bin\\server\\jvm.dll", L""},
        // A slash at the cut is kept rather than doubled.
        {r + L"\\jre\\bin/\\server\\jvm.dll", r + L"\\jre\\bin/splashscreen.dll"},
        {L"jvm.dll", L""},
        {L"server\\jvm.dll", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findNativeSplashLibrary(c.jvm), c.expected) << std::string(c.jvm.begin(), c.jvm.end());
    }
}

TEST(NativeSplashClose, CallsTheCloseFunctionAtMostOnceAndTheOldOneOnReplacement) {
    g_calls.clear();
    NativeSplashClose holder;
    EXPECT_FALSE(holder.isSet());
    holder.callOnce();  // nothing stored: nothing happens
    EXPECT_TRUE(g_calls.empty());

    holder.replace(&closeA);
    EXPECT_TRUE(holder.isSet());
    holder.replace(&closeA);  // the same function again: not closed
    EXPECT_TRUE(g_calls.empty());
    holder.callOnce();
    holder.callOnce();
    EXPECT_EQ(g_calls, (std::vector<int>{1}));
    EXPECT_FALSE(holder.isSet());

    g_calls.clear();
    holder.replace(&closeA);
    holder.replace(&closeB);  // storing another closes with the old one first
    EXPECT_EQ(g_calls, (std::vector<int>{1}));
    holder.replace(nullptr);
    EXPECT_EQ(g_calls, (std::vector<int>{1, 2}));
    EXPECT_FALSE(holder.isSet());
    holder.callOnce();
    EXPECT_EQ(g_calls, (std::vector<int>{1, 2}));
}
