// The launcher application object: it runs the launch step by step, each step
// a call into the part that owns what the step needs: the settings as read,
// the runtime chosen, single instance, the splash, the JVM session. One
// exists per process, on the stack of process entry; the JVM's exit and abort
// hooks reach it through LauncherApp::current.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/LauncherSettings.h"
#include "foundation/DiagnosticsLog.h"
#include "foundation/Failure.h"
#include "jre/JreLocator.h"
#include "jvm/JvmHost.h"
#include "launcher/SingleInstance.h"
#include "splash/SplashController.h"

namespace vexa {

// Receiver of the JVM's exit and abort callbacks.
class JvmHookTarget {
public:
    virtual void onExit(std::int32_t status) = 0;
    virtual void onAbort() = 0;

protected:
    ~JvmHookTarget() = default;
};

// The version phrase of the "JRE Not Found" message, in the words of the
// launcher's message table.
std::wstring describeRequirement(const JrePolicy& policy);

class LauncherApp {
public:
    LauncherApp();
    ~LauncherApp();
    LauncherApp(const LauncherApp&) = delete;
    LauncherApp& operator=(const LauncherApp&) = delete;

    // The one launcher object of the process (null before it is built).
    static LauncherApp* current();

    // The init phase: false ends the process with -1.
    bool init();
    // The run phase: its result is the process exit code.
    std::int32_t run();

    // Told of System.exit and of an abort, when set.
    JvmHookTarget* hookTarget = nullptr;

private:
    // The steps of init and run, in the order the launch takes them.
    void ReadArguments(const std::wstring& executable);
    bool SetupSingleInstance();
    void ApplyWorkingDirectory();
    bool chooseRuntimeInDialog();
    void checkJvmArchitecture();
    std::int32_t runPairedLauncher();
    std::int32_t WaitForFirstInstance();
    std::int32_t runNormalLaunch();
    void PrepareLibraryPath();
    bool HasNoSplashSwitch() const;
    void startSplash();
    bool loadJvmLibrary(const std::wstring& path);
    bool BuildJvmOptions();
    static DWORD WINAPI javaThreadMain(void* app);
    bool createJvm();
    bool callMainClass();
    void signalInstanceReady();
    bool showJavaException(jthrowable throwable, JNIEnv* env);
    void closeSplashWindow();
    void ShutdownSingleInstance();

    // Shows a failure to the user, in front of the splash when it is up.
    void report(const Failure& failure) const;

    // First in, last out: every part logs until the end.
    DiagnosticsLog diagnostics_;
    // This process was started by a paired launcher handing over to it; it
    // never hands over in turn, so that two launchers cannot start each other
    // without end.
    bool startedByPairedLauncher_ = false;
    std::vector<std::wstring> arguments_;
    LauncherSettings settings_;
    SingleInstance instance_;
    RuntimeChoice runtime_;
    SplashController splash_;
    JvmSession jvm_;
    std::uint64_t threadStackSize_ = 0;
    OutputRedirection output_;
};

}  // namespace vexa
