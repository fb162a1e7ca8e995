// An installer property as one read gave it.
#pragma once

#include <string>

namespace kci {

// The installer's result, the text the read's buffer held (up to its first
// null; after a failed read, whatever the installer left there) and the
// length the installer reported.
struct PropertyRead {
    unsigned result = 0;
    std::wstring value;
    unsigned length = 0;
};

}  // namespace kci
