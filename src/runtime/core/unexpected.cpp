#include "runtime/core/unexpected.h"

#include "runtime/core/errors.h"

namespace kci {

namespace {

std::wstring WidenBytes(const char* text) {
    std::wstring wide;
    if (!text) return wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

}  // namespace

std::wstring DescribeException(std::exception_ptr failure) {
    if (!failure) return L"unknown exception";
    try {
        std::rethrow_exception(failure);
    } catch (const kci::ErrorList& errors) {
        return errors.empty() ? std::wstring(L"empty error list") : std::wstring(errors.front());
    } catch (const stp::exstring& error) {
        return error;
    } catch (const std::exception& error) {
        return WidenBytes(error.what());
    } catch (...) {
        return L"unknown exception";
    }
}

}  // namespace kci
