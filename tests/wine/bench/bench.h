// Everything a Wine test needs: sessions, files, registry keys, processes.
#pragma once

#include "bench/files.h"
#include "bench/session.h"
#include "bench/ui.h"
