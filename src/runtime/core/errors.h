// The two things the component actions throw: one error text, and the list of
// every error text one run of an action gathered.
#pragma once

#include <string>
#include <vector>

namespace stp {

// An error text and nothing more. Thrown by itself where one failure ends the
// current step; the caller adds it to its list.
class exstring : public std::wstring {
public:
    exstring() = default;
    exstring(const std::wstring& text) : std::wstring(text) {}  // NOLINT: implicit by design
    exstring(const wchar_t* text) : std::wstring(text) {}       // NOLINT: implicit by design
};

}  // namespace stp

namespace kci {

// Error texts in the order they were found. Thrown by value (a copy of the
// action's list) and caught by reference once, around the action's body.
using ErrorList = std::vector<stp::exstring>;

}  // namespace kci
