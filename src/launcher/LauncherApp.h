// The launcher application object: all launcher state, the init and run
// phases, and the teardown. One exists per process, on the stack of process
// entry; the JVM's exit and abort hooks reach it through LauncherApp::current.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/SettingsStore.h"
#include "foundation/DiagnosticsLog.h"
#include "foundation/Handle.h"
#include "jre/JavaVersion.h"
#include "jre/JrePolicy.h"
#include "jvm/Jni.h"
#include "jvm/JvmOptionList.h"

namespace vexa {

class SplashScreenWindow;

// Receiver of the JVM's exit and abort callbacks.
class JvmHookTarget {
public:
    virtual void onExit(std::int32_t status) = 0;
    virtual void onAbort() = 0;

protected:
    ~JvmHookTarget() = default;
};

// Holds the native splash library's close function and calls it at most once,
// whoever asks first.
class NativeSplashClose {
public:
    using Function = void(JNICALL*)();

    void callOnce() {
        if (Function f = function_.exchange(nullptr)) f();
    }
    // Storing a different function first closes with the old one.
    void replace(Function f) {
        if (f != function_.load()) callOnce();
        function_.store(f);
    }
    bool isSet() const { return function_.load() != nullptr; }

private:
    std::atomic<Function> function_{nullptr};
};

// Which Java stream a redirection replaces.
enum class JavaStream { Out, Err };

class LauncherApp {
public:
    LauncherApp();
    ~LauncherApp();
    LauncherApp(const LauncherApp&) = delete;
    LauncherApp& operator=(const LauncherApp&) = delete;

    // The one launcher object of the process (null before it is built).
    static LauncherApp* current();

    bool init();
    std::int32_t run();
    void checkJvmArchitecture();
    static DWORD WINAPI javaThreadMain(void* app);

    // Process view: executable path, arguments, working directory.
    bool GetExecutablePath(std::wstring& path);
    bool GetLauncherFolder(std::wstring& folder);
    void ReadArguments(std::vector<std::wstring>& out);
    void ApplyWorkingDirectory();
    bool HasNoSplashSwitch() const;

    // Single instance.
    bool SetupSingleInstance();
    std::int32_t WaitForFirstInstance();
    void ShutdownSingleInstance();
    static DWORD WINAPI ListenForRequests(void* start);
    static DWORD WINAPI ServeSecondInstance(void* request);
    // Called just before main: requests are served from then on.
    void signalInstanceReady();

    // JVM options, library path and environment.
    bool BuildJvmOptions();
    void ExpandClassPathEntry(const std::wstring& entry, std::wstring& accumulator);
    void ProcessVmParameter(std::wstring token, std::vector<std::wstring>& options);
    void PrepareLibraryPath();

    // Loading and creating the JVM, calling the main class.
    bool loadJvmLibrary(const std::wstring& path);
    bool createJvm();
    bool redirectStream(const std::wstring& path, bool append, JavaStream target);
    bool callMainClass();
    bool showJavaException(jthrowable throwable, JNIEnv* env);

    // Splash screen.
    bool startSplash();
    void closeSplashWindow();

    // The runtime search policy as the settings filled it.
    JrePolicy jrePolicy() const;

    JvmHookTarget* hookTarget = nullptr;
    Handle splashThread;
    DWORD splashThreadId = 0;
    std::wstring splashImagePath;
    std::wstring splashShadow;
    JvmType jvmType = JvmType::Default;
    std::wstring jvmLibraryPath;
    JavaVM* javaVm = nullptr;
    JNIEnv* jniEnv = nullptr;
    std::wstring mainClass;
    JavaVersion minVersion;
    JavaVersion maxVersion;
    std::vector<std::wstring> arguments;
    std::unique_ptr<SplashScreenWindow> splashWindow;
    // Written by the splash thread once its window exists, read by any thread
    // that shows an error box.
    std::atomic<HWND> messageOwner{nullptr};
    bool isService = false;
    bool jdkSource = false;
    bool jreSource = false;
    bool bothSources = true;
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitFavoured = false;
    bool sunFavoured = true;
    bool ibmFavoured = false;
    std::wstring productName;
    std::wstring productCode;
    JvmOptionList jvmOptions;
    std::vector<std::wstring> preferredVersions;
    std::wstring jrePath;
    std::wstring libraryPath;
    MappedView instanceView;
    Handle instanceMapping;
    Handle listenerThread;
    bool isPrimaryInstance = false;
    bool singleInstanceActive = false;
    // Single instance, beside the shared section: the section's name, the
    // first instance's own copies of what it published there (nothing that
    // another process writes into the section steers it), the listener's stop
    // event and its workers, and a second instance's request and the first
    // instance's process.
    std::wstring instanceName;
    UINT requestMessage = 0;
    DWORD listenerThreadId = 0;
    Handle listenerStop;
    std::vector<Handle> instanceWorkers;
    std::atomic<JavaVM*> readyVm{nullptr};
    Handle requestMapping;
    MappedView requestView;
    Handle firstInstance;
    std::wstring outputFile;
    std::wstring errorFile;
    bool outputAppend = false;
    bool errorAppend = false;
    std::wstring systemPath;
    std::wstring commandText;
    std::wstring pairProduct;
    bool pairReturnCode = false;
    bool failureCheck = false;
    bool overrideWorkingDir = false;
    std::uint64_t threadStackSize = 0;
    NativeSplashClose nativeSplashClose;
    Handle instanceEvent;
    bool runPairProduct = false;
    // This process was started by a paired launcher handing over to it; it
    // never hands over in turn, so that two launchers cannot start each other
    // without end.
    bool startedByPairedLauncher = false;
    // The chosen runtime was registered under the IBM key family; only such a
    // runtime gets the IBM treatment at the end of main.
    bool ibmRegistryRuntime = false;
    CreateJavaVmFn createJavaVm = nullptr;
    GetDefaultJavaVmInitArgsFn getDefaultInitArgs = nullptr;
    FindClassFromBootLoaderFn findClassFromBootLoader = nullptr;
    // The settings block embedded in the executable, read once at start-up.
    EmbeddedSettings embeddedSettings;
    // The main settings file as the settings reader read it: the steps after
    // it (single instance, options, splash) read their keys from it instead
    // of reading the file again.
    std::shared_ptr<const ProfileText> settingsContent;
    // "Search Common Locations": after the registry families, look at
    // JAVA_HOME, today's vendor keys and their folders under %ProgramFiles%.
    bool searchCommonLocations = true;
    // The diagnostics log, open when VEXA_LOG names a file (diag::log).
    DiagnosticsLog diagnostics;

private:
    bool startListening();
    bool forwardArguments();
    void acceptRequest(DWORD requester);
    std::int32_t runPairedLauncher();
    std::int32_t runNormalLaunch();
    bool chooseRuntimeInDialog();
};

// The user's application-data folder: "APPDATA" when it holds a full path,
// else the shell's roaming application-data folder; empty when neither exists.
std::wstring GetUserDataFolder();

}  // namespace vexa
