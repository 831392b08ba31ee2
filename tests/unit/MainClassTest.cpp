// The main-class call against a scripted JNI environment: the failures that a
// runtime rarely produces (no string, no main method without an exception)
// and the handling of an exception that main leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "jvm/JvmHost.h"
#include "ui/Messages.h"

using namespace vexa;

namespace {

// A JNI environment whose answers each test sets; every call is logged.
struct FakeJvm {
    JNINativeInterface table{};
    JNIEnv env{&table};
    JNIInvokeInterface invoke{};
    JavaVM vm{&invoke};

    std::set<std::string> classes{"java/lang/String", "com/example/App"};
    bool stringFails = false;
    bool mainMissing = false;
    bool missingMainThrows = false;
    bool mainThrows = false;
    bool pending = false;
    std::vector<std::string> log;
    std::vector<std::wstring> strings;  // texts of the Java strings made
    int detachResult = JNI_OK;

    char objects[64] = {};
    int nextObject = 0;
    template <typename T>
    T newObject() {
        return reinterpret_cast<T>(&objects[nextObject++ % 64]);
    }

    FakeJvm();
};

FakeJvm* fake = nullptr;

// C variadic functions cannot be lambdas.
jobject JNICALL fakeNewObject(JNIEnv*, jclass, jmethodID, ...) { return fake->newObject<jobject>(); }
void JNICALL fakeCallStaticVoidMethod(JNIEnv*, jclass, jmethodID method, ...) {
    fake->log.push_back(std::string("CallStaticVoidMethod ") + reinterpret_cast<const char*>(method));
    if (fake->mainThrows) fake->pending = true;
}

FakeJvm::FakeJvm() {
    fake = this;
    table.FindClass = [](JNIEnv*, const char* name) -> jclass {
        fake->log.push_back(std::string("FindClass ") + name);
        if (fake->classes.count(name)) return fake->newObject<jclass>();
        fake->pending = true;
        return nullptr;
    };
    table.GetMethodID = [](JNIEnv*, jclass, const char* name, const char*) -> jmethodID {
        return reinterpret_cast<jmethodID>(const_cast<char*>(name));
    };
    table.GetStaticMethodID = [](JNIEnv*, jclass, const char* name, const char*) -> jmethodID {
        fake->log.push_back(std::string("GetStaticMethodID ") + name);
        if (std::string(name) == "main" && fake->mainMissing) {
            fake->pending = fake->missingMainThrows;
            return nullptr;
        }
        return reinterpret_cast<jmethodID>(const_cast<char*>(name));
    };
    table.NewString = [](JNIEnv*, const jchar* units, jsize length) -> jstring {
        if (fake->stringFails) {
            fake->pending = true;
            return nullptr;
        }
        fake->strings.emplace_back(reinterpret_cast<const wchar_t*>(units), static_cast<size_t>(length));
        return fake->newObject<jstring>();
    };
    table.NewObject = &fakeNewObject;
    table.NewObjectArray = [](JNIEnv*, jsize, jclass, jobject) -> jobjectArray {
        return fake->newObject<jobjectArray>();
    };
    table.SetObjectArrayElement = [](JNIEnv*, jobjectArray, jsize, jobject) {};
    table.DeleteLocalRef = [](JNIEnv*, jobject) {};
    table.GetStringUTFChars = [](JNIEnv*, jstring, jboolean*) -> const char* { return "com/example/App"; };
    table.ReleaseStringUTFChars = [](JNIEnv*, jstring, const char*) {};
    table.CallStaticVoidMethod = &fakeCallStaticVoidMethod;
    table.ExceptionOccurred = [](JNIEnv*) -> jthrowable {
        return fake->pending ? reinterpret_cast<jthrowable>(&fake->objects[63]) : nullptr;
    };
    table.ExceptionCheck = [](JNIEnv*) -> jboolean { return fake->pending; };
    table.ExceptionDescribe = [](JNIEnv*) {
        fake->log.push_back("ExceptionDescribe");
        fake->pending = false;
    };
    table.ExceptionClear = [](JNIEnv*) { fake->pending = false; };
    invoke.DetachCurrentThread = [](JavaVM*) -> jint {
        fake->log.push_back("DetachCurrentThread");
        return fake->detachResult;
    };
}

// Answers the first message box this process shows and keeps its text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
        : thread_([this] {
              for (int i = 0; i < 6000 && !stop_; ++i) {
                  if (HWND box = findBox()) {
                      wchar_t text[512] = {};
                      GetDlgItemTextW(box, 0xFFFF, text, 512);
                      text_ = text;
                      PostMessageW(box, WM_COMMAND, IDOK, 0);
                      return;
                  }
                  Sleep(10);
              }
          }) {}
    ~MessageBoxWatcher() { finish(); }
    // The text of the box, empty when none appeared (waits no longer).
    std::wstring finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return text_;
    }

private:
    static HWND findBox() {
        HWND found = nullptr;
        EnumWindows(
            [](HWND hwnd, LPARAM result) {
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                wchar_t name[32] = {};
                GetClassNameW(hwnd, name, 32);
                if (pid == GetCurrentProcessId() && std::wstring(name) == L"#32770" && IsWindowVisible(hwnd)) {
                    *reinterpret_cast<HWND*>(result) = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    std::atomic<bool> stop_{false};
    std::wstring text_;
    std::thread thread_;
};

// The JVM session over the fake runtime, calling main as the launcher's Java
// main thread does: the failure it reports is shown, then the thread detaches.
struct Launch {
    FakeJvm jvm;
    JvmSession session{&jvm.vm, &jvm.env};
    std::vector<std::wstring> arguments;
    bool callMainClass() {
        MainResult result = session.callMain(L"com/example/App", arguments);
        if (result.failure) {
            showFailure(nullptr, *result.failure);
            return false;
        }
        return session.detach();
    }
    bool loggedCall(const std::string& call) const {
        return std::find(jvm.log.begin(), jvm.log.end(), call) != jvm.log.end();
    }
};

}  // namespace

TEST(CallMainClass, ReportsWhatTheRuntimeCannotDo) {
    struct Case {
        const char* what;
        void (*setUp)(FakeJvm&);
        std::wstring message;
        bool described;
    };
    const Case cases[] = {
        // The runtime's error is printed; there is nothing more to tell.
        {"no Java string for an argument", [](FakeJvm& j) { j.stringFails = true; }, L"", true},
        {"no main method, nothing pending", [](FakeJvm& j) { j.mainMissing = true; },
         L"No main method found in specified class.\n", false},
        // The runtime's error is printed, and the user is told as well.
        {"no main method, the runtime's error pending",
         [](FakeJvm& j) {
             j.mainMissing = true;
             j.missingMainThrows = true;
         },
         L"No main method found in specified class.\n", true},
    };
    for (const Case& c : cases) {
        Launch launch;
        launch.arguments = {L"a"};
        c.setUp(launch.jvm);
        MessageBoxWatcher watcher;
        EXPECT_FALSE(launch.callMainClass()) << c.what;
        EXPECT_EQ(watcher.finish(), c.message) << c.what;
        EXPECT_EQ(launch.loggedCall("ExceptionDescribe"), c.described) << c.what;
        EXPECT_FALSE(launch.loggedCall("CallStaticVoidMethod main")) << c.what;
    }
}

TEST(CallMainClass, AnExceptionLeftByMainIsLeftToTheRuntimeWithoutFailureCheck) {
    Launch launch;
    launch.jvm.mainThrows = true;
    launch.arguments = {L"a", L"\x00E9\x65E5", L""};
    MessageBoxWatcher watcher;
    EXPECT_TRUE(launch.callMainClass());
    EXPECT_EQ(watcher.finish(), L"");
    EXPECT_TRUE(launch.loggedCall("CallStaticVoidMethod main"));
    // Not printed, not cleared: the runtime reports it when the thread leaves.
    EXPECT_FALSE(launch.loggedCall("ExceptionDescribe"));
    EXPECT_TRUE(launch.jvm.pending);
    EXPECT_EQ(launch.jvm.log.back(), "DetachCurrentThread");
    // Each argument as its exact code units; the class name is no Java string.
    const std::vector<std::wstring> expected = {L"a", L"\x00E9\x65E5", L""};
    EXPECT_EQ(launch.jvm.strings, expected);
}

TEST(CallMainClass, AFailedDetachIsAFailure) {
    Launch launch;
    launch.jvm.detachResult = JNI_ERR;
    EXPECT_FALSE(launch.callMainClass());
    EXPECT_TRUE(launch.loggedCall("CallStaticVoidMethod main"));
}
