// The "JRE Not Found" dialog: says which runtime is needed, links to a site
// where one can be downloaded, and lets the user pick a runtime folder, which
// is accepted only when the probe it is given finds a JVM library there.
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
    // `jvmType` found there, or empty.
    using FolderProbe = std::wstring (*)(const std::wstring& folder, JvmType jvmType);
    INT_PTR run(const std::wstring& message, JvmType jvmType, FolderProbe probe);

    JvmType jvmType = JvmType::Default;
    FolderProbe probe = nullptr;
    std::wstring message;
    std::wstring chosenFolder;  // ends in "\"
    std::wstring foundLibrary;
    HyperLink link;

protected:
    LRESULT processMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    ShellApi shell_;  // the folder browser and COM
    void onInitDialog();
    void chooseFolder();
};

}  // namespace vexa
