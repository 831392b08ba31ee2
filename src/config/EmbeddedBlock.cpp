#include "config/EmbeddedBlock.h"

#include "config/SettingsBlock.h"
#include "foundation/Handle.h"

namespace vexa {
namespace {

EmbeddedBlockState readFrom(HMODULE module, std::wstring& text) {
    text.clear();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kEmbeddedBlockName), kEmbeddedBlockType);
    if (!resource) return EmbeddedBlockState::Absent;
    // A block that is listed but cannot be loaded is as unusable as an
    // altered one.
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return EmbeddedBlockState::Damaged;
    if (!openSettingsBlock(static_cast<const std::uint8_t*>(data), size, text)) return EmbeddedBlockState::Damaged;
    return EmbeddedBlockState::Read;
}

}  // namespace

EmbeddedBlockState readOwnEmbeddedBlock(std::wstring& text) { return readFrom(GetModuleHandleW(nullptr), text); }

EmbeddedBlockState readEmbeddedBlockOf(const std::wstring& path, std::wstring& text, DWORD& error) {
    error = ERROR_SUCCESS;
    text.clear();
    Module module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) {
        error = GetLastError();
        return EmbeddedBlockState::Absent;
    }
    return readFrom(module.get(), text);
}

}  // namespace vexa
