#include "ui/Messages.h"

#include "foundation/Text.h"
#include "foundation/Diagnostics.h"
#include "foundation/MessageIds.h"

namespace vexa {

std::wstring loadMessage(unsigned id) {
    // Strings are stored in blocks of sixteen: block id / 16 + 1, each entry a
    // 16-bit length followed by that many UTF-16 units.
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6) /* RT_STRING */);
    if (!block) return {};
    HGLOBAL loaded = LoadResource(module, block);
    const auto* data = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (!data) return {};
    const WCHAR* end = data + SizeofResource(module, block) / sizeof(WCHAR);
    for (unsigned entry = 0; entry < id % 16; ++entry) {
        if (data >= end) return {};
        data += 1 + *data;
    }
    if (data >= end || data + 1 + *data > end) return {};
    return std::wstring(data + 1, *data);
}

namespace {
MessageWriter g_writer = nullptr;
}  // namespace

void setMessageWriter(MessageWriter writer) { g_writer = writer; }

int showErrorBox(HWND owner, const std::wstring& text) {
    // Every failure the user is told about passes here, so the log says why
    // a launch ended.
    diag::log(L"error message shown: %s", text);
    if (g_writer) {
        g_writer(text);
        return IDOK;
    }
    // MessageBoxW refuses an owner window that no longer exists and shows
    // nothing; such a box is shown without owner instead.
    if (owner && !IsWindow(owner)) owner = nullptr;
    return MessageBoxW(owner, text.c_str(), nullptr, MB_OK | MB_ICONERROR);
}

int showFormattedError(HWND owner, const std::wstring& format, const std::wstring& insert) {
    return showErrorBox(owner, formatMessage(format, {insert}));
}

int showFormattedError(HWND owner, const std::wstring& format, const std::wstring& insert, std::int32_t number) {
    return showErrorBox(owner, formatMessage(format, {insert, number}));
}

int showWindowsError(HWND owner, unsigned reasonId, unsigned long errorCode) {
    return showFormattedError(owner, loadMessage(IDS_WINDOWS_EXCEPTION), loadMessage(reasonId),
                              static_cast<std::int32_t>(errorCode));
}

std::wstring failureText(const Failure& failure) {
    std::vector<MessageInsert> inserts;
    inserts.reserve(failure.messageInserts.size() + failure.inserts.size());
    for (unsigned id : failure.messageInserts) inserts.emplace_back(id ? loadMessage(id) : std::wstring());
    inserts.insert(inserts.end(), failure.inserts.begin(), failure.inserts.end());
    return formatMessage(loadMessage(failure.message), inserts);
}

int showFailure(HWND owner, const Failure& failure) {
    return failure.isSilent() ? 0 : showErrorBox(owner, failureText(failure));
}

}  // namespace vexa
