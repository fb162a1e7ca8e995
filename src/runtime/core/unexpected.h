// What the action frame can say about an exception that escaped an action.
#pragma once

#include <exception>
#include <string>

namespace kci {

// A short description of `failure`: the text of a std::exception (its bytes
// taken one per character), the first text of the library's own error list,
// or "unknown exception" for anything else.
std::wstring DescribeException(std::exception_ptr failure);

}  // namespace kci
