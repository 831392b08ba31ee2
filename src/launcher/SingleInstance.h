// Single instance: the first start of an application publishes a listener;
// a later start hands its arguments to it and ends with the answer of the
// main class's secondaryMain. This object owns everything of it: the shared
// section, the listener thread and its workers, a later start's request and
// its view of the first instance; its destructor stops and releases them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/LauncherSettings.h"
#include "foundation/Failure.h"
#include "foundation/Handle.h"
#include "jvm/Jni.h"

namespace vexa {

// The name of the single-instance objects of `executable`: the same for every
// spelling of the file (long, final, case-folded path), different for every
// other file.
std::wstring instanceNameForExecutable(const std::wstring& executable);

class SingleInstance {
public:
    enum class Role {
        Alone,   // single instance is off, or cannot be had: this start runs by itself
        First,   // this start runs the application and serves later starts
        Second,  // the first instance answered this start's request
    };

    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes this start's role. A later start hands `arguments` to the first
    // instance and waits for its answer; when the first instance ends without
    // having served the request, this start tries again and may become the
    // first instance itself. A failure is returned, never shown under the
    // set-up lock.
    Result<Role> setUp(const LauncherSettings& settings, const std::vector<std::wstring>& arguments);

    // A later start: the first instance's answer, or its exit code when it
    // ended after taking the request to the application.
    std::int32_t waitForFirstInstance() const { return answer_; }

    // Called just before main: requests are served from then on, on `vm`.
    // `keepAttached`: the workers stay attached (a runtime of the IBM key).
    void signalReady(JavaVM* vm, bool keepAttached);

    // Stops serving and lets the shared objects go: later starts no longer
    // find this instance, requests not yet served are refused (their starts
    // go on by themselves), and no worker attaches to the JVM from now on;
    // workers already serving finish. Every wait is bounded.
    void shutdown();

    bool isActive() const { return active_; }
    bool isPrimary() const { return primary_; }

    struct Shared;

private:
    struct Header;
    enum class Reach;
    class Security;

    Result<Role> takeRole(const std::vector<std::wstring>& arguments, DWORD round);
    Reach reachFirstInstance(const Header& header);
    std::optional<Failure> forwardArguments(const std::vector<std::wstring>& arguments, const Header& header,
                                            DWORD round);
    std::optional<std::int32_t> awaitAnswer();
    bool startListening();
    void stopServing();
    void releaseSection();

    bool active_ = false;
    bool primary_ = false;
    std::int32_t answer_ = 0;
    std::wstring instanceName_;
    std::wstring mainClass_;
    UINT requestMessage_ = 0;
    std::unique_ptr<Security> security_;
    Handle instanceMapping_;
    MappedView instanceView_;
    // The first instance: what its listener and workers share; they keep it
    // alive for as long as they run.
    std::shared_ptr<Shared> shared_;
    Handle listenerThread_;
    // A later start's request and the first instance's process.
    Handle requestMapping_;
    MappedView requestView_;
    Handle firstInstance_;
};

}  // namespace vexa
