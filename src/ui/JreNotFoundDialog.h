// The "JRE Not Found" dialog: says which runtime is needed and lets the user
// pick a runtime folder.
#pragma once

#include <windows.h>

#include <string>

#include "jre/JrePolicy.h"

namespace vexa {

class JreNotFoundDialog {
public:
    // Shows the dialog modally; IDOK when a usable folder was chosen.
    INT_PTR run(const std::wstring& message, JvmType jvmType);

    std::wstring chosenFolder;
    std::wstring foundLibrary;
};

}  // namespace vexa
