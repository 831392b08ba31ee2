// The window framework: every window and dialog object of the launcher is
// bound to its window handle at the first message the window receives.
//
// Before a window is created, the creating code enters its object in one
// process-wide list of objects awaiting a window, keyed by the creating
// thread's id. The framework's start procedure, which every window class and
// dialog of the launcher uses, takes its own thread's entry out of the list at
// the first message, records the handle in the object (and the object in a
// window property), and from then on routes every message of that window to
// the object. The list and the once-per-process class registration share one
// lock.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace vexa {

class WindowObject {
public:
    WindowObject() = default;
    virtual ~WindowObject();
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    // The object's message handler. Set `handled` to false (it starts true)
    // to let the default handling run.
    virtual LRESULT processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

    // Enters this object in the list of objects awaiting a window on the
    // calling thread. False (last error ERROR_OUTOFMEMORY) when the list
    // cannot grow.
    bool awaitWindow();
    // Takes this object out of the list again, when its window was never made.
    void cancelAwait();

    // The class procedure of every framework window class.
    static LRESULT CALLBACK startWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The dialog procedure of every framework dialog.
    static INT_PTR CALLBACK startDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Registers a window class once per process under the framework's lock;
    // a class already registered is reused. False when registration fails.
    static bool registerClass(const WNDCLASSEXW& windowClass);

private:
    static WindowObject* bind(HWND hwnd);
    static LRESULT CALLBACK routeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK routeDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void unbind();

    HWND hwnd_ = nullptr;
    bool isDialog_ = false;
};

// A modal dialog from a template among the executable's resources.
class ModalDialog : public WindowObject {
public:
    // Runs the dialog; the result passed to EndDialog, or -1 when it could
    // not be created (last error ERROR_OUTOFMEMORY when the framework's
    // bookkeeping could not be allocated).
    INT_PTR runModal(int templateId, HWND owner);
};

// Centres a dialog over its owner when that is a visible, non-minimised
// top-level window, otherwise within the work area of the nearest monitor,
// and keeps it inside that work area.
void centreWindow(HWND window);

// The device context of a window (of the screen for none) for the length of
// a scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The rectangle `text` takes in `window` with `font`, laid out by DrawText
// with `format` and DT_CALCRECT from `bounds` (its width limits a wrapped
// text); `bounds` itself when the window has no device context.
RECT measureText(HWND window, HGDIOBJ font, std::wstring_view text, RECT bounds, UINT format);

// The resize table of a resizable dialog: per control, which of its edges
// follow the change of the dialog's client size, a size grip in the
// bottom-right corner, and the initial size as the minimum tracking size.
class DialogResizer {
public:
    enum Flags : unsigned {
        MoveX = 0x1,
        MoveY = 0x2,
        SizeX = 0x4,
        SizeY = 0x8,
    };
    struct Entry {
        int id;
        unsigned flags;
    };

    // Call at dialog initialisation, after the controls exist.
    void initialise(HWND dialog, const std::vector<Entry>& table);
    // WM_SIZE.
    void onSize(WPARAM kind, int clientWidth, int clientHeight);
    // WM_GETMINMAXINFO.
    void onGetMinMaxInfo(MINMAXINFO* info) const;

private:
    struct Control {
        int id;
        unsigned flags;
        RECT rect;
    };
    HWND dialog_ = nullptr;
    HWND grip_ = nullptr;
    RECT gripRect_{};
    SIZE initialClient_{};
    POINT minTrackSize_{};
    std::vector<Control> controls_;
};

// Releases the process-wide window-class bookkeeping at process exit.
void releaseWindowClasses();

}  // namespace vexa
