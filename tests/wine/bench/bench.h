// Everything a Wine test needs: sessions, files, registry keys, processes.
#pragma once

#include "bench/files.h"
#include "bench/ui.h"
#include "harness/library.h"
#include "harness/package.h"
#include "harness/pe_image.h"
#include "harness/session.h"

// The tests name the shared session harness as part of the bench.
namespace bench {
using namespace harness;
}  // namespace bench
