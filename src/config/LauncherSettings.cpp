#include "config/LauncherSettings.h"

#include "launcher/LauncherApp.h"

namespace vexa {

bool LauncherSettings::read(LauncherApp& app) { return reportNotBuilt(app, L"read its settings"); }

std::vector<std::wstring> LauncherSettings::splitList(const std::wstring& text, const std::wstring& separator) {
    std::vector<std::wstring> pieces;
    if (text.empty() || separator.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    size_t pos = 0;
    while (pos < text.size()) {
        size_t found = text.find(separator, pos);
        if (found == std::wstring::npos) {
            pieces.push_back(text.substr(pos));
            break;
        }
        pieces.push_back(text.substr(pos, found - pos));
        pos = found + separator.size();
    }
    return pieces;
}

void LauncherSettings::storeJrePath(LauncherApp& app, const std::wstring&) {
    reportNotBuilt(app, L"remember the chosen Java runtime");
}

}  // namespace vexa
