// Everything a Wine test needs: sessions, files, registry keys, stand-in
// programs, processes; one header per role.
#pragma once

#include "bench/dummy_process.h"
#include "bench/registry_key.h"
#include "bench/stand_in.h"
#include "bench/temp_files.h"
#include "bench/ui.h"
#include "harness/library.h"
#include "harness/package.h"
#include "harness/pe_image.h"
#include "harness/session.h"

// The tests name the shared session harness as part of the bench.
namespace bench {
using namespace harness;
}  // namespace bench
