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

// Asserts that the `expected` lines stand in `log` as one run, in this order:
// a missing line, one out of order or an extra line between them fails;
// lines before and after the run are allowed.
void ExpectInOrder(const Lines& log, const Lines& expected);

}  // namespace bench
