#include "launcher/Diagnostics.h"

#include <vector>

#include "foundation/DiagnosticsLog.h"
#include "launcher/LauncherApp.h"

namespace vexa::diag {

DiagnosticsLog* active() noexcept {
    LauncherApp* app = LauncherApp::current();
    return app && app->diagnostics.isOpen() ? &app->diagnostics : nullptr;
}

MessageInsert Arg::insert() const {
    switch (kind_) {
    case Kind::Version:
        return version_->toText();
    case Kind::Int32:
        return static_cast<std::int32_t>(signed_);
    case Kind::Signed:
        return std::to_wstring(signed_);
    case Kind::Unsigned:
        return std::to_wstring(unsigned_);
    case Kind::Text:
        break;
    }
    return std::wstring(text_);
}

void write(DiagnosticsLog& log, std::wstring_view format, const Arg* args, std::size_t count) {
    std::vector<MessageInsert> inserts;
    inserts.reserve(count);
    for (std::size_t i = 0; i < count; ++i) inserts.push_back(args[i].insert());
    log.write(formatMessage(format, inserts));
}

}  // namespace vexa::diag
