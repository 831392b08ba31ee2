#include <gtest/gtest.h>

#include <thread>

#include "ui/Window.h"

using namespace vexa;

namespace {

// A window object that remembers every message it received.
class RecordingWindow : public WindowObject {
public:
    HWND create(const wchar_t* className) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &WindowObject::startWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        if (!registerClass(windowClass) || !awaitWindow()) return nullptr;
        HWND hwnd = CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        if (!hwnd) cancelAwait();
        return hwnd;
    }
    std::vector<UINT> messages;
    HWND boundAtFirstMessage = nullptr;

protected:
    LRESULT processMessage(UINT message, WPARAM, LPARAM, bool& handled) override {
        if (messages.empty()) boundAtFirstMessage = hwnd();
        messages.push_back(message);
        handled = false;
        return 0;
    }
};

}  // namespace

TEST(WindowFramework, BindsTheObjectAtTheFirstMessage) {
    RecordingWindow window;
    HWND hwnd = window.create(L"VexaTestWindowA");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.hwnd(), hwnd);
    EXPECT_EQ(window.boundAtFirstMessage, hwnd);
    ASSERT_FALSE(window.messages.empty());
    // Creation messages reach the object, the very first one included.
    EXPECT_NE(std::find(window.messages.begin(), window.messages.end(), static_cast<UINT>(WM_NCCREATE)),
              window.messages.end());
    SendMessageW(hwnd, WM_USER + 7, 0, 0);
    EXPECT_EQ(window.messages.back(), static_cast<UINT>(WM_USER + 7));
    DestroyWindow(hwnd);
    EXPECT_EQ(window.messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(window.hwnd(), nullptr);
}

TEST(WindowFramework, WindowsCreatedOnSeveralThreadsBindToTheirOwnObjects) {
    constexpr int kThreads = 8;
    RecordingWindow windows[kThreads];
    HWND handles[kThreads] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            handles[i] = windows[i].create(L"VexaTestWindowB");
            SendMessageW(handles[i], WM_USER + i, 0, 0);
            DestroyWindow(handles[i]);
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_NE(handles[i], nullptr);
        EXPECT_EQ(windows[i].boundAtFirstMessage, handles[i]);
        EXPECT_NE(std::find(windows[i].messages.begin(), windows[i].messages.end(), static_cast<UINT>(WM_USER + i)),
                  windows[i].messages.end());
    }
}

TEST(WindowFramework, ClassesRegisterOncePerProcess) {
    RecordingWindow first;
    RecordingWindow second;
    HWND a = first.create(L"VexaTestWindowC");
    HWND b = second.create(L"VexaTestWindowC");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    DestroyWindow(a);
    DestroyWindow(b);
    releaseWindowClasses();
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VexaTestWindowC", &info));
}
