#include "ui/JreNotFoundDialog.h"

#include "foundation/MessageIds.h"
#include "ui/Messages.h"

namespace vexa {

JreNotFoundDialog::JreNotFoundDialog() {
    link.linkColour = RGB(0, 0, 255);
    link.visitedColour = RGB(128, 0, 128);
    link.paintLabel = true;
}

INT_PTR JreNotFoundDialog::run(const std::wstring& text, JvmType type, FolderProbe folderProbe) {
    message = text;
    jvmType = type;
    probe = folderProbe;
    chosenFolder.clear();
    foundLibrary.clear();
    refusal.clear();
    // The folder browser and the shell's "open" need COM on this thread.
    const HRESULT com = shell_.coInitializeEx
                            ? shell_.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)
                            : E_NOTIMPL;
    INT_PTR result = runModal(IDD_JRE_NOT_FOUND, GetActiveWindow());
    const DWORD error = GetLastError();
    if (SUCCEEDED(com)) shell_.coUninitialize();
    SetLastError(error);
    return result;
}

void JreNotFoundDialog::onInitDialog() {
    HWND dialog = hwnd();
    HWND control = GetDlgItem(dialog, IDC_JRE_LINK);
    if (!link.normalFont) link.normalFont = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!downloadAddress.empty()) {
        // A team's own address may be longer than the built-in one: the link
        // may take the width of the message above it.
        SetWindowTextW(control, downloadAddress.c_str());
        RECT units{44, 55, 44 + 159, 55 + 8};
        MapDialogRect(dialog, &units);
        MoveWindow(control, units.left, units.top, units.right - units.left, units.bottom - units.top, FALSE);
    }
    link.attach(control);
    showMessage(message);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    centreWindow(dialog);
}

void JreNotFoundDialog::chooseFolder() {
    HWND dialog = hwnd();
    const std::wstring title = loadMessage(IDS_BROWSE_FOR_JRE);
    BROWSEINFOW browse{};
    browse.hwndOwner = dialog;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    if (!shell_.browseForFolder || !shell_.pathFromIdList || !shell_.coTaskMemFree) return;
    PIDLIST_ABSOLUTE item = shell_.browseForFolder(&browse);
    if (!item) return;  // cancelled: nothing changes
    wchar_t path[MAX_PATH] = {};
    if (!shell_.pathFromIdList(item, path)) path[0] = L'\0';
    shell_.coTaskMemFree(item);

    SetDlgItemTextW(dialog, IDC_JRE_PATH, path);
    chosenFolder = path;
    if (!chosenFolder.empty() && chosenFolder.back() != L'\\') chosenFolder += L'\\';
    refusal.clear();
    foundLibrary = chosenFolder.empty() || !probe ? std::wstring() : probe(chosenFolder, jvmType, refusal);
    if (!refusal.empty()) foundLibrary.clear();
    showMessage(refusal.empty() ? message : refusal);
    EnableWindow(GetDlgItem(dialog, IDOK), !foundLibrary.empty());
}

// The message is read whole: when it needs more lines than its control has,
// the control grows, and all below it moves down, by as much as it lacks.
void JreNotFoundDialog::showMessage(const std::wstring& text) {
    HWND dialog = hwnd();
    HWND control = GetDlgItem(dialog, IDC_JRE_MESSAGE);
    SetWindowTextW(control, text.c_str());
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    const RECT needed = measureText(control, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), text,
                                    RECT{0, 0, box.right - box.left, 0}, DT_WORDBREAK);
    const LONG lacking = needed.bottom - (box.bottom - box.top);
    if (lacking <= 0) return;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        if (r.top >= box.bottom) OffsetRect(&r, 0, lacking);
        else if (r.bottom >= box.bottom) r.bottom += lacking;  // the message, and the group box around it
        else continue;
        MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    RECT frame{};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + lacking,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT JreNotFoundDialog::processMessage(UINT msg, WPARAM wParam, LPARAM, bool& handled) {
    switch (msg) {
        case WM_INITDIALOG:
            onInitDialog();
            return FALSE;  // the focus stays where the system put none
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    // Only with a runtime found: a command sent while OK is
                    // disabled must not end the dialog without one.
                    if (!foundLibrary.empty()) EndDialog(hwnd(), IDOK);
                    return 0;
                case IDCANCEL:  // Cancel, Escape and the close box
                    EndDialog(hwnd(), IDCANCEL);
                    return 0;
                case IDC_JRE_BROWSE:
                    chooseFolder();
                    return 0;
            }
            break;
    }
    handled = false;
    return 0;
}

}  // namespace vexa
