// Scoped owners for Windows handles: each holder releases what it owns when
// it goes out of scope, and can be moved but not copied.
#pragma once

#include <windows.h>

#include <utility>

namespace vexa {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    Type release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(Type value = Traits::invalid()) noexcept {
        Type old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }

    // Address for APIs that write a new handle; the old one is released first.
    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};

// CreateFileW reports failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::FindClose(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::FreeLibrary(h); }
};

struct MappedViewTraits {
    using Type = const void*;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type v) noexcept { ::UnmapViewOfFile(v); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type k) noexcept { ::RegCloseKey(k); }
};

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type o) noexcept { ::DeleteObject(o); }
};

struct MemoryDcTraits {
    using Type = HDC;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type dc) noexcept { ::DeleteDC(dc); }
};

struct WindowTraits {
    using Type = HWND;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type w) noexcept { ::DestroyWindow(w); }
};

using Handle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using Module = UniqueHandle<ModuleTraits>;
using MappedView = UniqueHandle<MappedViewTraits>;
using RegistryKey = UniqueHandle<RegistryKeyTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
using Window = UniqueHandle<WindowTraits>;

}  // namespace vexa
