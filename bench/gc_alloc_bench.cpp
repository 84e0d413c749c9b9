// bench/gc_alloc_bench.cpp — allocate-and-drop of small objects: collector, steps included, vs new/delete.
//
// One benchmark iteration is one "frame": kClustersPerFrame clusters of four linked objects
// (a node holding a pair holding two leaves, each node linked to the previous one) are
// built, read once and dropped. The collected version then runs one collection step, as a
// host does after every frame; the plain version deletes what it built. The collected
// objects are 56, 48, 40 and 40 bytes; their mirrors have the same fields and a vtable,
// but none of the collector's header. The closing lines give the medians and the ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "runtime/gc.h"

namespace {

constexpr int kClustersPerFrame = 256;
constexpr int kObjectsPerFrame = kClustersPerFrame * 4;
constexpr long kAgingSweeps = 800;   // sweeps run before the steady-state measurement
constexpr int kOrderedFrames = 3000; // about 17 sweeps

// ============================================================================
// [SECTION] Collected objects
// ============================================================================

class GcLeaf : public Object {
public:
  int m_a = 0;
  int m_b = 0;
};

class GcPair : public Object {
public:
  GcLeaf* m_left = nullptr;
  GcLeaf* m_right = nullptr;
  void mark() override {
    gc_mark_q(m_left);
    gc_mark_q(m_right);
  }
};

class GcNode : public Object {
public:
  GcNode* m_next = nullptr;
  GcPair* m_pair = nullptr;
  int m_key = 0;
  int m_value = 0;
  void mark() override {
    gc_mark_q(m_next);
    gc_mark_q(m_pair);
  }
};

static_assert(sizeof(GcLeaf) == 40 && sizeof(GcPair) == 48 && sizeof(GcNode) == 56,
              "the collected objects are meant to be 40, 48 and 56 bytes");

// ============================================================================
// [SECTION] Plain mirrors
// ============================================================================

class PlainBase {
public:
  virtual ~PlainBase() {}
};

class PlainLeaf : public PlainBase {
public:
  int m_a = 0;
  int m_b = 0;
};

class PlainPair : public PlainBase {
public:
  PlainLeaf* m_left = nullptr;
  PlainLeaf* m_right = nullptr;
};

class PlainNode : public PlainBase {
public:
  PlainNode* m_next = nullptr;
  PlainPair* m_pair = nullptr;
  int m_key = 0;
  int m_value = 0;
};

// Ends the current cycle twice and destroys everything dead, so a run starts from an empty
// heap with the allocation counters at zero.
void ResetCollector() {
  for (int i = 0; i < 2; ++i) {
    gc_ext_malloced(gc_sweep_threshold + 1);
    gc_collect(nullptr);
  }
  gc_flush_free_list();
}

// Sweeps since the size-class caches were last put in address order.
long g_sweeps_since_ordered = 0;

// Puts the queue of every size-class cache in ascending address order (and its tail back on
// the last block), so the next allocations walk memory as they do right after start-up.
// Blocks waiting in a class's out-of-order heap stay there; they come out in order anyway.
void OrderCaches() {
  std::vector<void*> blocks;
  for (int c = 0; c < gc_cache_classes; ++c) {
    blocks.clear();
    for (void* b = gc_cache[c]; b; b = *static_cast<void**>(b)) blocks.push_back(b);
    std::sort(blocks.begin(), blocks.end(), std::greater<void*>());
    void* top = nullptr;
    for (void* b : blocks) {
      *static_cast<void**>(b) = top;
      top = b;
    }
    gc_cache[c] = top;
    gc_cache_tail[c] = blocks.empty() ? nullptr : blocks.front();
  }
  g_sweeps_since_ordered = 0;
}

// One frame: build, read and drop kClustersPerFrame clusters, then one collection step.
// Returns a value read from the objects, for DoNotOptimize.
long CollectedFrame() {
  GcNode* head = nullptr;
  for (int i = 0; i < kClustersPerFrame; ++i) {
    GcLeaf* left = new GcLeaf;
    GcLeaf* right = new GcLeaf;
    GcPair* pair = new GcPair;
    GcNode* node = new GcNode;
    left->m_a = i;
    right->m_b = i + 1;
    gc_assign(pair->m_left, left);
    gc_assign(pair->m_right, right);
    gc_assign(node->m_pair, pair);
    gc_assign(node->m_next, head);
    node->m_key = i;
    head = node;
  }
  long sum = 0;
  for (GcNode* n = head; n; n = n->m_next) sum += n->m_key + n->m_pair->m_left->m_a + n->m_pair->m_right->m_b;
  benchmark::DoNotOptimize(head);
  head = nullptr; // dropped: nothing references the frame's objects any more

  int markbit = gc_markbit;
  gc_collect(nullptr);
  if (gc_markbit != markbit) ++g_sweeps_since_ordered;
  return sum;
}

// ============================================================================
// [SECTION] Benchmarks
// ============================================================================

// Steady state of a long-running host. Dead objects are destroyed in the order their cycle
// marked them, not in address order; a cache that handed blocks out in the order they came
// back would drift further from address order at every sweep, and allocation would lose its
// locality over several hundred sweeps. The heap is aged that far (untimed) first.
void BM_CollectedAllocDrop(benchmark::State& state) {
  ResetCollector();
  while (g_sweeps_since_ordered < kAgingSweeps) benchmark::DoNotOptimize(CollectedFrame());
  long sweeps_before = g_sweeps_since_ordered;
  for (auto _ : state) benchmark::DoNotOptimize(CollectedFrame());
  state.SetItemsProcessed(state.iterations() * kObjectsPerFrame);
  state.counters["sweeps"] = static_cast<double>(g_sweeps_since_ordered - sweeps_before);
}

// The same frames on a heap whose caches were just put in address order, as right after
// start-up: a fixed, short run, so the order has little time to drift.
void BM_CollectedAllocDropOrderedHeap(benchmark::State& state) {
  ResetCollector();
  OrderCaches();
  for (auto _ : state) benchmark::DoNotOptimize(CollectedFrame());
  state.SetItemsProcessed(state.iterations() * kObjectsPerFrame);
  state.counters["sweeps"] = static_cast<double>(g_sweeps_since_ordered);
}

void BM_PlainNewDelete(benchmark::State& state) {
  for (auto _ : state) {
    PlainNode* head = nullptr;
    for (int i = 0; i < kClustersPerFrame; ++i) {
      PlainLeaf* left = new PlainLeaf;
      PlainLeaf* right = new PlainLeaf;
      PlainPair* pair = new PlainPair;
      PlainNode* node = new PlainNode;
      left->m_a = i;
      right->m_b = i + 1;
      pair->m_left = left;
      pair->m_right = right;
      node->m_pair = pair;
      node->m_next = head;
      node->m_key = i;
      head = node;
    }
    long sum = 0;
    for (PlainNode* n = head; n; n = n->m_next)
      sum += n->m_key + n->m_pair->m_left->m_a + n->m_pair->m_right->m_b;
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(head);

    while (head) {
      PlainNode* next = head->m_next;
      delete head->m_pair->m_left;
      delete head->m_pair->m_right;
      delete head->m_pair;
      delete head;
      head = next;
    }
  }
  state.SetItemsProcessed(state.iterations() * kObjectsPerFrame);
}

BENCHMARK(BM_CollectedAllocDrop)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CollectedAllocDropOrderedHeap)
    ->Iterations(kOrderedFrames)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainNewDelete)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// ============================================================================
// [SECTION] Reporting the ratio
// ============================================================================

// The console output, plus each benchmark's time per frame (the median when there are
// repetitions, otherwise the single run) kept for the closing ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}

  std::map<std::string, double> frame_ns;

  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      if (run.error_occurred) continue;
      const std::string& name = run.run_name.function_name;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      bool single = run.run_type == Run::RT_Iteration && !frame_ns.count(name);
      if (!median && !single) continue;
      frame_ns[name] = run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                       benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }

  // Time per frame of a benchmark, or 0 when it did not run.
  double Frame(const char* name) const {
    auto it = frame_ns.find(name);
    return it == frame_ns.end() ? 0 : it->second;
  }
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                               : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  double aged = reporter.Frame("BM_CollectedAllocDrop");
  double ordered = reporter.Frame("BM_CollectedAllocDropOrderedHeap");
  double plain = reporter.Frame("BM_PlainNewDelete");
  if (plain <= 0) return 0;
  std::printf("\nallocate-and-drop, %d objects per frame, one collection step per frame (medians):\n",
              kObjectsPerFrame);
  std::printf("  new/delete:                              %10.1f ns/frame  %6.2f ns/object\n", plain,
              plain / kObjectsPerFrame);
  if (aged > 0)
    std::printf("  collector, steady state:                 %10.1f ns/frame  %6.2f ns/object  ratio %.2f\n",
                aged, aged / kObjectsPerFrame, aged / plain);
  if (ordered > 0)
    std::printf("  collector, caches in address order:      %10.1f ns/frame  %6.2f ns/object  ratio %.2f\n",
                ordered, ordered / kObjectsPerFrame, ordered / plain);
  if (aged > 0) std::printf("ratio collector / new-delete (steady state): %.2f\n", aged / plain);
  return 0;
}
