// Single instance: the first start of an application publishes a listener;
// a later start hands its arguments to it and ends with the answer of the
// main class's secondaryMain. This object owns everything of it: the shared
// section, the listener thread and its workers, a later start's request and
// its view of the first instance; its destructor stops and releases them.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/LauncherSettings.h"
#include "foundation/Failure.h"
#include "foundation/Handle.h"
#include "jvm/Jni.h"

namespace vexa {

class SingleInstance {
public:
    enum class Role {
        Alone,   // single instance is off, or cannot be had: this start runs by itself
        First,   // this start runs the application and serves later starts
        Second,  // the arguments went to the first instance; wait for its answer
    };

    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes this start's role. A later start forwards `arguments` here; the
    // failure to do so is returned, never shown under the set-up lock.
    Result<Role> setUp(const LauncherSettings& settings, const std::vector<std::wstring>& arguments);

    // A later start: the first instance's answer, or its exit code when it
    // ends first.
    std::int32_t waitForFirstInstance();

    // Called just before main: requests are served from then on, on `vm`.
    // `keepAttached`: the workers stay attached (a runtime of the IBM key).
    void signalReady(JavaVM* vm, bool keepAttached);

    // Stops the listener and its workers and releases the section.
    void shutdown();

    bool isActive() const { return active_; }
    bool isPrimary() const { return primary_; }

private:
    static DWORD WINAPI ListenForRequests(void* start);
    static DWORD WINAPI ServeSecondInstance(void* request);
    bool startListening();
    std::optional<Failure> forwardArguments(const std::vector<std::wstring>& arguments);
    void acceptRequest(DWORD requester);

    bool active_ = false;
    bool primary_ = false;
    std::wstring instanceName_;
    std::wstring mainClass_;
    UINT requestMessage_ = 0;
    // The first instance's section and its own copies of what it published
    // there: nothing that another process writes into the section steers it.
    Handle instanceMapping_;
    MappedView instanceView_;
    Handle instanceEvent_;
    Handle listenerThread_;
    DWORD listenerThreadId_ = 0;
    Handle listenerStop_;
    std::vector<Handle> workers_;
    std::atomic<JavaVM*> readyVm_{nullptr};
    std::atomic<bool> keepAttached_{false};
    // A later start's request and the first instance's process.
    Handle requestMapping_;
    MappedView requestView_;
    Handle firstInstance_;
};

}  // namespace vexa
