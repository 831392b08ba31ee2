// The "Java Exception" dialog: shows the stack trace of an exception that the
// application's main method left uncaught and lets the user go on (Ignore)
// or end the application (Stop).
#pragma once

#include <windows.h>

#include <string>

#include "ui/Window.h"

namespace vexa {

class JavaExceptionDialog : public ModalDialog {
public:
    explicit JavaExceptionDialog(std::wstring trace);

    // Runs the dialog modally: IDOK for Ignore (or Enter), IDCANCEL for Stop,
    // Escape or the close box, -1 when it could not be shown.
    INT_PTR run(HWND owner);

    // The trace as the edit control shows it: every line break is CR LF.
    static std::wstring displayText(const std::wstring& trace);

protected:
    LRESULT processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    std::wstring trace_;
    DialogResizer resizer_;
};

}  // namespace vexa
