// bench/gc_pause_bench.cpp — longest collection step on a mutated ~50 MB live graph vs one full mark of it.
//
// The graph hangs off one root: a world holds an array of regions, each region an array of
// slots, each slot a chain of 2 to 6 nodes whose members all point back at the chain's
// head. Each frame replaces chains (the old ones are dropped), moves chains between slots
// and swaps slots, every store going through gc_assign, then runs one collection step as a
// host does after every frame. Each step is timed on its own. The full mark is the
// time of gc_collect_all() at the start of a fresh cycle, when nothing is marked yet and
// the whole graph is reached from the root. Besides times, the bytes each step marks are
// counted: unlike the times, they do not depend on what else the machine is doing.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/array.h"
#include "runtime/gc.h"

namespace {

constexpr int kRegions = 3500;
constexpr int kSlots = 64;
constexpr int kBuildRegionsPerFrame = 25;
constexpr int kReplacePerFrame = 400;
constexpr int kMovePerFrame = 200;
constexpr int kSwapPerFrame = 200;
constexpr int kWarmupFrames = 200;
constexpr int kMeasuredFrames = 2000;
constexpr int kFullMarks = 3;

// ============================================================================
// [SECTION] The graph
// ============================================================================

class Node : public Object {
public:
  Node* m_next = nullptr;
  Node* m_first = nullptr; // the chain's head: every chain is a cycle
  std::uint32_t m_key = 0;
  std::uint32_t m_check = 0;
  void mark() override {
    gc_mark_q(m_next);
    gc_mark_q(m_first);
  }
};

class Region : public Object {
public:
  Array<Node*> m_slots;
  void mark() override { gc_mark_q(m_slots); }
};

class World : public Object {
public:
  Array<Region*> m_regions;
  void mark() override { gc_mark_q(m_regions); }
};

static_assert(sizeof(Node) == 56, "a node is meant to use the largest cached block size");

World* g_world;

// splitmix64: the same sequence of mutations on every run.
std::uint64_t g_seed = 0x2545f4914f6cdd1dull;
std::uint64_t NextRandom() {
  std::uint64_t z = (g_seed += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}
int Below(int n) { return static_cast<int>(NextRandom() % static_cast<std::uint64_t>(n)); }

std::uint32_t CheckOf(std::uint32_t key) { return (key * 2654435761u) ^ 0xa5a5a5a5u; }

Node* NewNode(Node* head) {
  Node* n = new Node;
  gc_assign(n->m_first, head ? head : n);
  n->m_key = static_cast<std::uint32_t>(NextRandom());
  n->m_check = CheckOf(n->m_key);
  return n;
}

Node* MakeChain() {
  int length = 2 + Below(5);
  Node* head = NewNode(nullptr);
  Node* tail = head;
  for (int i = 1; i < length; ++i) {
    Node* n = NewNode(head);
    gc_assign(tail->m_next, n);
    tail = n;
  }
  return head;
}

Node*& RandomSlot() {
  Region* r = g_world->m_regions[Below(kRegions)];
  return r->m_slots[Below(kSlots)];
}

void MutateFrame() {
  for (int i = 0; i < kReplacePerFrame; ++i) {
    Node*& slot = RandomSlot();
    Node* fresh = MakeChain();
    gc_assign(slot, fresh); // the old chain is dropped
  }
  for (int i = 0; i < kMovePerFrame; ++i) {
    Node*& from = RandomSlot();
    Node*& to = RandomSlot();
    gc_assign(to, from); // the chain that was in `to` is dropped
    Node* fresh = MakeChain();
    gc_assign(from, fresh);
  }
  for (int i = 0; i < kSwapPerFrame; ++i) {
    Node*& a = RandomSlot();
    Node*& b = RandomSlot();
    Node* t = a;
    gc_assign(a, b);
    gc_assign(b, t);
  }
}

// Builds the graph over several frames, a collection step after each, as a loading host would.
void BuildWorld() {
  gc_assign(g_world, new World);
  gc_assign(g_world->m_regions, Array<Region*>(kRegions));
  for (int first = 0; first < kRegions; first += kBuildRegionsPerFrame) {
    for (int i = first; i < first + kBuildRegionsPerFrame && i < kRegions; ++i) {
      Region* r = new Region;
      gc_assign(r->m_slots, Array<Node*>(kSlots));
      for (int s = 0; s < kSlots; ++s) {
        Node* chain = MakeChain();
        gc_assign(r->m_slots[s], chain);
      }
      gc_assign(g_world->m_regions[i], r);
    }
    gc_collect(nullptr);
  }
}

struct GraphCount {
  long chains = 0;
  long nodes = 0;
  long damaged = 0;
};

// Walks the whole graph: a chain member whose check value or head link is wrong was freed
// while still reachable.
GraphCount CheckWorld() {
  GraphCount c;
  for (int i = 0; i < kRegions; ++i) {
    Region* r = g_world->m_regions[i];
    for (int s = 0; s < kSlots; ++s) {
      Node* head = r->m_slots[s];
      ++c.chains;
      int length = 0;
      for (Node* n = head; n && length <= 6; n = n->m_next, ++length) {
        ++c.nodes;
        if (n->m_first != head || n->m_check != CheckOf(n->m_key)) ++c.damaged;
      }
      if (length < 2 || length > 6) ++c.damaged;
    }
  }
  return c;
}

// ============================================================================
// [SECTION] Timing
// ============================================================================

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  std::size_t i = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(i, values.size() - 1)];
}

struct FrameStats {
  std::vector<double> steps_ms;
  double max_sweep_step_ms = 0;
  double max_mutation_ms = 0;
  long long allocated_bytes = 0;
  int max_marked_bytes = 0; // the most one step marked
  long long marked_bytes = 0;
  int sweeps = 0;
};

FrameStats RunFrames(int frames) {
  FrameStats st;
  st.steps_ms.reserve(static_cast<std::size_t>(frames));
  for (int f = 0; f < frames; ++f) {
    int new_before = gc_new_bytes;
    Clock::time_point t0 = Clock::now();
    MutateFrame();
    Clock::time_point t1 = Clock::now();
    st.allocated_bytes += gc_new_bytes - new_before;
    int markbit = gc_markbit;
    int marked_before = gc_marked_bytes;
    Clock::time_point t2 = Clock::now();
    gc_collect(nullptr);
    Clock::time_point t3 = Clock::now();
    double step = MsSince(t2, t3);
    st.steps_ms.push_back(step);
    st.max_mutation_ms = std::max(st.max_mutation_ms, MsSince(t0, t1));
    // A sweep finishes the marking, then counts what it marked as the live bytes and
    // starts the next cycle from zero (queueing the roots marks nothing).
    int marked = gc_marked_bytes - marked_before;
    if (gc_markbit != markbit) {
      ++st.sweeps;
      st.max_sweep_step_ms = std::max(st.max_sweep_step_ms, step);
      marked = gc_alloced_bytes - marked_before;
    }
    st.max_marked_bytes = std::max(st.max_marked_bytes, marked);
    st.marked_bytes += marked;
  }
  return st;
}

} // namespace

int main() {
  gc_init1();
  gc_root(g_world);
  gc_init2();

  Clock::time_point build_start = Clock::now();
  BuildWorld();
  double build_ms = MsSince(build_start, Clock::now());

  // Settles the pacing after the build: at least two sweeps before anything is measured.
  FrameStats warmup = RunFrames(kWarmupFrames);
  FrameStats run = RunFrames(kMeasuredFrames);

  // The first call finishes the cycle in progress; each later one starts from a cycle in
  // which nothing is marked yet, so it marks the whole graph.
  gc_collect_all();
  std::vector<double> full_ms;
  int live_bytes = 0;
  for (int i = 0; i < kFullMarks; ++i) {
    Clock::time_point t0 = Clock::now();
    gc_collect_all();
    full_ms.push_back(MsSince(t0, Clock::now()));
    live_bytes = gc_alloced_bytes; // after a sweep: exactly the bytes that were marked
  }
  GraphCount count = CheckWorld();

  double longest = *std::max_element(run.steps_ms.begin(), run.steps_ms.end());
  double mean = 0;
  for (double s : run.steps_ms) mean += s;
  mean /= static_cast<double>(run.steps_ms.size());
  double full_min = *std::min_element(full_ms.begin(), full_ms.end());
  double full_median = Percentile(full_ms, 0.5);

  std::printf("live graph: %.1f MiB (%d bytes marked by a full mark), %d regions, %ld chains, %ld nodes;"
              " built in %.0f ms\n",
              live_bytes / 1048576.0, live_bytes, kRegions, count.chains, count.nodes, build_ms);
  std::printf(
      "mutation: %d warm-up frames (%d sweeps), then %d measured frames; per frame %d chains replaced,"
      " %d moved, %d slot pairs swapped, %.0f KiB allocated on average, longest mutation %.3f ms\n",
      kWarmupFrames, warmup.sweeps, kMeasuredFrames, kReplacePerFrame, kMovePerFrame, kSwapPerFrame,
      static_cast<double>(run.allocated_bytes) / kMeasuredFrames / 1024.0, run.max_mutation_ms);
  std::printf("collection steps: %d, %d of them sweeps\n", kMeasuredFrames, run.sweeps);
  std::printf("  mean %.3f ms, median %.3f ms, p99 %.3f ms, p99.9 %.3f ms\n", mean,
              Percentile(run.steps_ms, 0.5), Percentile(run.steps_ms, 0.99), Percentile(run.steps_ms, 0.999));
  std::printf("  longest step %.3f ms; longest sweep step %.3f ms\n", longest, run.max_sweep_step_ms);
  std::printf("  marked per step: mean %.0f KiB, most %.0f KiB (%.2f%% of the full mark's %.0f KiB)\n",
              static_cast<double>(run.marked_bytes) / kMeasuredFrames / 1024.0, run.max_marked_bytes / 1024.0,
              100.0 * run.max_marked_bytes / live_bytes, live_bytes / 1024.0);
  std::printf("full mark (gc_collect_all from a fresh cycle): min %.3f ms, median %.3f ms of %d\n", full_min,
              full_median, kFullMarks);
  std::printf("ratio longest step / full mark: %.4f (longest step / shortest full mark)\n",
              longest / full_min);
  std::printf("graph check after the run: %s (%ld damaged)\n", count.damaged ? "DAMAGED" : "intact",
              count.damaged);
  return count.damaged ? 1 : 0;
}
