// tests/support/collector.cpp — see collector.h.
#include "collector.h"

#include "runtime/gc.h"

void ForceSweep() {
  gc_ext_malloced(gc_sweep_threshold + 1);
  gc_collect(nullptr);
}

void CollectFully() {
  ForceSweep();
  ForceSweep();
  gc_flush_free_list();
}
