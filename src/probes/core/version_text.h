// The product's displayable version: major.minor, then the build number split
// into thousands and a remainder, as in 2.1(2.3) for 2.1.2003.
#pragma once

#include <string>
#include <string_view>

namespace kci {

struct ScannedVersion {
    int fields = 0;  // how many of the three numbers were read, from the left
    int major = 0;   // numbers that were not read stay 0
    int minor = 0;
    int build = 0;
};

// Reads "<major>.<minor>.<build>" from the start of `text` as the C library's
// "%d.%d.%d" scan does: each number may follow blanks and carry a sign, each
// dot must follow its number at once, and the scan stops at the first thing
// that does not fit. Anything after the third number is ignored. A number out
// of the 32-bit range is held at the nearest end of it.
ScannedVersion ScanVersion(std::wstring_view text);

// "major.minor(thousands)" when the remainder is 0, else
// "major.minor(thousands.remainder)"; both parts truncate toward zero.
std::wstring DisplayableVersion(const ScannedVersion& version);

}  // namespace kci
