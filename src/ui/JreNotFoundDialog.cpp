#include "ui/JreNotFoundDialog.h"

#include "ui/Messages.h"

namespace vexa {

// Until the dialog exists the requirement is shown in an error box and the
// launch ends as after Cancel.
INT_PTR JreNotFoundDialog::run(const std::wstring& message, JvmType) {
    showErrorBox(GetActiveWindow(), message);
    return IDCANCEL;
}

}  // namespace vexa
