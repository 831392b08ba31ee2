#include "foundation/Diagnostics.h"

#include <atomic>
#include <vector>

#include "foundation/DiagnosticsLog.h"

namespace vexa::diag {
namespace {

std::atomic<DiagnosticsLog*> g_sink{nullptr};

}  // namespace

DiagnosticsLog* active() noexcept {
    DiagnosticsLog* log = g_sink.load(std::memory_order_acquire);
    return log && log->isOpen() ? log : nullptr;
}

void installSink(DiagnosticsLog* log) noexcept { g_sink.store(log, std::memory_order_release); }

MessageInsert Arg::insert() const {
    switch (kind_) {
    case Kind::Version:
        return version_->toText();
    case Kind::Int32:
        return static_cast<std::int32_t>(signed_);
    case Kind::Signed:
        return decimalText(signed_);
    case Kind::Unsigned:
        return unsignedDecimalText(unsigned_);
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
