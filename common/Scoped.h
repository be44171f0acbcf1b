// Small owners for Win32 handles, so nothing leaks on any path.
// Every owner counts the handles it holds; the soak test reads the count.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace common {

// Handles held right now by all owners together.
long LiveHandles();

namespace detail {
void CountHandle(long delta);
}

template <typename Handle, BOOL(WINAPI* Free)(Handle)>
class Scoped {
public:
    Scoped() = default;
    explicit Scoped(Handle h) { reset(h); }
    ~Scoped() { reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : handle_(other.release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    void reset(Handle h = nullptr) {
        if (h == handle_) return;
        if (handle_) {
            Free(handle_);
            detail::CountHandle(-1);
        }
        handle_ = h;
        if (handle_) detail::CountHandle(+1);
    }

    Handle release() {
        Handle h = handle_;
        if (h) detail::CountHandle(-1);
        handle_ = nullptr;
        return h;
    }

private:
    Handle handle_ = nullptr;
};

inline BOOL WINAPI DeleteBrush(HBRUSH h) { return DeleteObject(h); }
inline BOOL WINAPI DeleteFont(HFONT h) { return DeleteObject(h); }

using ScopedBrush = Scoped<HBRUSH, DeleteBrush>;
using ScopedFont = Scoped<HFONT, DeleteFont>;
using ScopedIcon = Scoped<HICON, DestroyIcon>;
using ScopedMenu = Scoped<HMENU, DestroyMenu>;
using ScopedModule = Scoped<HMODULE, FreeLibrary>;
using ScopedHandle = Scoped<HANDLE, CloseHandle>;

// COM on the calling thread, in the given threading model, for as long as the
// owner lives.
class ScopedCom {
public:
    explicit ScopedCom(DWORD model) : result_(CoInitializeEx(nullptr, model)) {}
    ~ScopedCom() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

private:
    HRESULT result_;
};

}  // namespace common
