// The "JRE Not Found" dialog: says which runtime is needed, links to a site
// where one can be downloaded, and lets the user pick a runtime folder, which
// is accepted only when the probe it is given finds a JVM library there that
// the application can run on; the address of the link may be replaced.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/JrePolicy.h"
#include "ui/HyperLink.h"
#include "foundation/ShellApi.h"
#include "ui/Window.h"

namespace vexa {

class JreNotFoundDialog : public ModalDialog {
public:
    JreNotFoundDialog();

    // Shows the dialog modally, owned by the active window: IDOK when a
    // usable folder was chosen (chosenFolder and foundLibrary are then
    // filled), IDCANCEL for Cancel, Escape or the close box, -1 when it could
    // not be shown.
    // The probe takes a folder (ending in "\\") and gives the JVM library of
    // `jvmType` found there, or empty. When it refuses a folder that holds a
    // library (its runtime's version does not fit the application), it says
    // why in `refusal`, which the dialog shows in place of its message.
    using FolderProbe = std::wstring (*)(const std::wstring& folder, JvmType jvmType, std::wstring& refusal);
    INT_PTR run(const std::wstring& message, JvmType jvmType, FolderProbe probe);

    JvmType jvmType = JvmType::Default;
    FolderProbe probe = nullptr;
    std::wstring message;
    std::wstring refusal;  // why the chosen folder was refused, or empty
    std::wstring downloadAddress;  // the link's address; empty: the template's
    std::wstring chosenFolder;  // ends in "\"
    std::wstring foundLibrary;
    HyperLink link;

protected:
    LRESULT processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    ShellApi shell_;  // the folder browser and COM
    void onInitDialog();
    void chooseFolder();
    void showMessage(const std::wstring& text);
};

}  // namespace vexa
