// Owners for the COM objects the library touches: a thread's COM
// initialisation, an automation string and a VARIANT. Interface pointers are
// held by ComPtr (runtime/handles.h).
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "runtime/handles.h"

namespace kci {

// One CoInitializeEx on the calling thread, balanced by CoUninitialize when
// the owner goes, and only when the initialisation succeeded: a thread that
// already belongs to another apartment must not lose its initialisation.
// Declare it before the interface pointers it serves, so that they are
// released first.
class ComInitialization {
public:
    ComInitialization() = default;
    ~ComInitialization() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;

    // Joins the multithreaded apartment; S_FALSE when the thread already was
    // in it, which also counts as success.
    HRESULT InitializeMultithreaded() {
        if (SUCCEEDED(result_)) return result_;
        result_ = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        return result_;
    }

private:
    HRESULT result_ = E_FAIL;  // not initialised
};

struct BstrTraits {
    using Handle = BSTR;
    static Handle Null() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { SysFreeString(h); }
};
using Bstr = UniqueHandle<BstrTraits>;

// An automation string holding `text`; null when memory runs out.
inline Bstr MakeBstr(const std::wstring& text) {
    return Bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A VARIANT that is cleared when it goes and before each new value.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    const VARIANT& Get() const { return value_; }
    // For the out-parameter of a call that fills it.
    VARIANT* Receive() {
        VariantClear(&value_);
        return &value_;
    }
    // The text it holds, or empty when it holds no string.
    std::wstring Text() const {
        return value_.vt == VT_BSTR && value_.bstrVal ? std::wstring(value_.bstrVal, SysStringLen(value_.bstrVal))
                                                      : std::wstring();
    }

private:
    VARIANT value_;
};

}  // namespace kci
