// One move-only owner per kind of platform handle, so that every path out of
// a function releases what it opened.
#pragma once

#include <windows.h>
#include <msi.h>

#include <utility>

namespace kci {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Take()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Take());
        return *this;
    }

    Handle Get() const { return handle_; }
    bool IsValid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return IsValid(); }

    // For the out-parameter of an opening call; whatever was held is released first.
    Handle* Receive() {
        Close();
        return &handle_;
    }
    Handle Take() { return std::exchange(handle_, Traits::Null()); }
    void Reset(Handle handle = Traits::Null()) {
        Close();
        handle_ = handle;
    }
    void Close() {
        if (Traits::IsValid(handle_)) Traits::Close(handle_);
        handle_ = Traits::Null();
    }

private:
    Handle handle_ = Traits::Null();
};

struct MsiHandleTraits {
    using Handle = MSIHANDLE;
    static Handle Null() { return 0; }
    static bool IsValid(Handle h) { return h != 0; }
    static void Close(Handle h) { MsiCloseHandle(h); }
};

struct KernelHandleTraits {  // processes, threads, files
    using Handle = HANDLE;
    static Handle Null() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Null() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Null() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

// Closes an installer record (or any installer handle) once, if it is non-zero.
using MsiHandleGuard = UniqueHandle<MsiHandleTraits>;
using ScopedHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;

// A reference-counted COM interface pointer.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    T** Receive() {
        Reset();
        return &ptr_;
    }
    void Reset() {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }

private:
    T* ptr_ = nullptr;
};

}  // namespace kci
