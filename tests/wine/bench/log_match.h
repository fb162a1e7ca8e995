// Matching an action's log against the lines a test expects, where an
// expected line ending in "*" matches any line that begins with the text
// before it.
#pragma once

#include "harness/session.h"

namespace bench {

using harness::Lines;

// Asserts (gtest) that `log` is `expected`, line for line: an extra or a
// missing line fails.
void ExpectLog(const Lines& log, const Lines& expected);

// Asserts that every `expected` line stands in `log`, in this order, other
// lines between them allowed: a missing expected line, or one out of order,
// fails.
void ExpectInOrder(const Lines& log, const Lines& expected);

}  // namespace bench
