#pragma once

#include <windows.h>
#include <wininet.h>
#include <winsvc.h>

// Owns one Windows resource and releases it on every path. A kind of resource
// is described by a traits type: its handle type, its "no handle" value and
// the function that closes it.
template <class Traits>
class Scoped {
public:
    using Type = typename Traits::Type;

    Scoped() : handle_(Traits::Invalid()) {}
    explicit Scoped(Type handle) : handle_(handle) {}
    ~Scoped() { Reset(); }

    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : handle_(other.Release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }

    void Reset(Type handle = Traits::Invalid()) {
        if (Valid()) Traits::Close(handle_);
        handle_ = handle;
    }
    Type Release() {
        Type handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    // For out-parameters of Windows calls: closes what is held first.
    Type* Receive() {
        Reset();
        return &handle_;
    }

private:
    Type handle_;
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};

// CreateFileW and friends report failure as INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};

// A window is destroyed on the thread that created it; its owner makes sure
// it is released there.
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DestroyWindow(h); }
};

// Service control manager and service handles.
struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseServiceHandle(h); }
};

// WinINet handles: a session, a connection, a request or an FTP file.
struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) {
        // No status notice for a handle whose owner is already letting go.
        ::InternetSetStatusCallbackW(h, nullptr);
        ::InternetCloseHandle(h);
    }
};

// A COM interface pointer: one reference, given back on every path.
template <class Interface>
struct ComTraits {
    using Type = Interface*;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { p->Release(); }
};
template <class Interface>
using ScopedCom = Scoped<ComTraits<Interface>>;

using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedFile = Scoped<FileHandleTraits>;
using ScopedFind = Scoped<FindHandleTraits>;
using ScopedRegKey = Scoped<RegKeyTraits>;
using ScopedModule = Scoped<ModuleTraits>;
using ScopedWindow = Scoped<WindowTraits>;
using ScopedService = Scoped<ServiceHandleTraits>;
using ScopedInternet = Scoped<InternetHandleTraits>;
