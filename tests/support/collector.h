// tests/support/collector.h — driving the collector to a known state from a test.
#pragma once

// Ends the current cycle at once: sweeps what is still white and queues the roots for the
// next cycle.
void ForceSweep();

// Two sweeps and the destruction of everything that died: afterwards only what the roots
// reach is alive, and gc_is_live_object tells the rest apart.
void CollectFully();
