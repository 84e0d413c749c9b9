// tests/support/collector.h — driving the collector to a known state from a test.
#pragma once

#include "runtime/gc.h"

// Ends the current cycle at once: sweeps what is still white and queues the roots again.
inline void ForceSweep() { gc_ext_malloced(gc_sweep_threshold + 1), gc_collect(nullptr); }

// Two sweeps and the destruction of everything that died: only what the roots reach is alive.
inline void CollectFully() { ForceSweep(), ForceSweep(), gc_flush_free_list(); }
