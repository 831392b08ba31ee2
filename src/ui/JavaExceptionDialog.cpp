#include "ui/JavaExceptionDialog.h"

#include <utility>

#include "foundation/MessageIds.h"

namespace vexa {

JavaExceptionDialog::JavaExceptionDialog(std::wstring trace) : trace_(std::move(trace)) {}

INT_PTR JavaExceptionDialog::run(HWND owner) { return runModal(IDD_JAVA_EXCEPTION, owner); }

std::wstring JavaExceptionDialog::displayText(const std::wstring& trace) {
    std::wstring text;
    text.reserve(trace.size() + trace.size() / 32);
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i] == L'\n' && (i == 0 || trace[i - 1] != L'\r')) text += L'\r';
        text += trace[i];
    }
    return text;
}

LRESULT JavaExceptionDialog::processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    switch (message) {
        case WM_INITDIALOG: {
            HWND dialog = hwnd();
            SendDlgItemMessageW(dialog, IDC_EXCEPTION_ICON, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_ERROR)), 0);
            SetDlgItemTextW(dialog, IDC_EXCEPTION_TRACE, displayText(trace_).c_str());
            SendDlgItemMessageW(dialog, IDC_EXCEPTION_TRACE, EM_SETREADONLY, TRUE, 0);
            centreWindow(dialog);
            resizer_.initialise(dialog, {
                                            {IDC_EXCEPTION_GROUP, DialogResizer::SizeX | DialogResizer::SizeY},
                                            {IDC_EXCEPTION_INTRO, DialogResizer::SizeX},
                                            {IDC_EXCEPTION_WARNING, DialogResizer::SizeX | DialogResizer::MoveY},
                                            {IDC_EXCEPTION_HINT, DialogResizer::SizeX | DialogResizer::MoveY},
                                            {IDC_EXCEPTION_TRACE, DialogResizer::SizeX | DialogResizer::SizeY},
                                            {IDOK, DialogResizer::MoveX | DialogResizer::MoveY},
                                            {IDCANCEL, DialogResizer::MoveX | DialogResizer::MoveY},
                                        });
            // Ignore, the default button, has the focus, so that the trace
            // is not shown all selected.
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;
        }
        case WM_SIZE:
            resizer_.onSize(wParam, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_GETMINMAXINFO:
            resizer_.onGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    EndDialog(hwnd(), IDOK);
                    return 0;
                case IDCANCEL:  // Stop, Escape and the close box
                    EndDialog(hwnd(), IDCANCEL);
                    return 0;
            }
            break;
    }
    handled = false;
    return 0;
}

}  // namespace vexa
