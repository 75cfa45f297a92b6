// One holder for every handle that a function closes, with the traits of each kind of handle.
#pragma once

#include <windows.h>

// Owns one handle and closes it once, on every way out of the scope, exceptions included.
// Traits name the handle type (Value), the value that holds nothing (Empty) and the closing
// call (Close), which is made only for a held handle.
template <typename Traits> class HandleHolder {
public:
    typedef typename Traits::Value Value;

    explicit HandleHolder(Value handle = Traits::Empty()) : handle_(handle) {}
    ~HandleHolder() { Release(); }
    HandleHolder(const HandleHolder&) = delete;
    HandleHolder& operator=(const HandleHolder&) = delete;

    Value Handle() const { return handle_; }
    bool Held() const { return handle_ != Traits::Empty(); }

    // Closes a held handle and holds the given one instead.
    void Reset(Value handle) {
        Release();
        handle_ = handle;
    }
    // Closes a held handle; afterwards the holder holds nothing.
    void Release() {
        if (Held()) {
            Traits::Close(handle_);
        }
        handle_ = Traits::Empty();
    }
    // Closes a held handle and lends the slot to a call that opens one into it.
    Value* Receive() {
        Release();
        return &handle_;
    }

private:
    Value handle_;
};

// Kernel objects that are null when absent: processes, threads, file mappings.
struct KernelHandleTraits {
    typedef HANDLE Value;
    static HANDLE Empty() { return NULL; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
typedef HandleHolder<KernelHandleTraits> KernelHandleHolder;

// Files, which CreateFileW reports missing as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    typedef HANDLE Value;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
typedef HandleHolder<FileHandleTraits> FileHandleHolder;

// Registry keys, which the registry calls open into an HKEY and RegCloseKey closes. A
// predefined root (HKEY_LOCAL_MACHINE) is never held, since it is not the holder's to close.
struct RegistryKeyTraits {
    typedef HKEY Value;
    static HKEY Empty() { return NULL; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
typedef HandleHolder<RegistryKeyTraits> RegistryKeyHolder;

// Searches of a folder, which FindFirstFileW reports failed as INVALID_HANDLE_VALUE and
// FindClose ends.
struct FindHandleTraits {
    typedef HANDLE Value;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
typedef HandleHolder<FindHandleTraits> FindHandleHolder;
