// tests/runtime/gc_test.cpp — the collector: write barrier, thresholds, lazy destruction, size classes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "runtime/array.h"
#include "runtime/gc.h"
#include "tests/support/collector.h"

namespace {

int g_destroyed;

class Node : public Object {
public:
  Node* m_next = nullptr;
  int m_value = 0;
  ~Node() override { ++g_destroyed; }
  void mark() override { gc_mark_q(m_next); }
};

// A 40-byte object that can hold another.
class Cell : public Object {
public:
  Cell* m_next = nullptr;
  void mark() override { gc_mark_q(m_next); }
};

class Listener : public gc_interface {
public:
  virtual int Id() = 0;
};

class ListenerNode : public Node, public Listener {
public:
  int Id() override { return m_value; }
};

Node* g_root;
Cell* g_cells;
Listener* g_listener;
Array<Node*> g_nodes;
Array<Array<int>> g_grid;

class Collector : public ::testing::Test {
protected:
  void SetUp() override {
    g_root = nullptr;
    g_cells = nullptr;
    g_listener = nullptr;
    g_nodes = Array<Node*>();
    gc_clear_roots();
    gc_root(g_root);
    gc_root(g_cells);
    gc_root(g_listener);
    gc_root(g_nodes);
    gc_root(g_grid);
    CollectFully();
    g_destroyed = 0;
  }
  void TearDown() override {
    g_root = nullptr;
    g_cells = nullptr;
    g_listener = nullptr;
    g_nodes = Array<Node*>();
    g_grid = Array<Array<int>>();
    CollectFully();
    gc_clear_roots();
  }
};

// Takes every block the size class of T holds with live objects made by `make`, chained behind
// `chain`, so that the next blocks freed there are the only ones.
template <class T, class Chain, class Make> void EmptySizeClass(Chain*& chain, Make make) {
  while (gc_cache_next(sizeof(T))) {
    T* t = make();
    gc_assign(t->m_next, chain);
    gc_assign(chain, t);
  }
}

TEST_F(Collector, WriteBarrierKeepsAStoreIntoAnAlreadyMarkedHolder) {
  gc_assign(g_root, new Node);
  auto mark_root = [] {
    ForceSweep();               // a new cycle: the root is queued
    gc_mark_queued(0x7fffffff); // ... and marked, its mark() already run
    ASSERT_FALSE(gc_is_white(g_root));
  };
  // A store that bypasses the barrier into a holder marked in this cycle is not seen.
  mark_root();
  Node* lost = new Node;
  g_root->m_next = lost;
  ForceSweep();
  gc_flush_free_list();
  EXPECT_FALSE(gc_is_live_object(lost));
  EXPECT_EQ(g_destroyed, 1);
  g_root->m_next = nullptr;

  // The same store through gc_assign keeps the object, and what it holds.
  mark_root();
  Node* kept = new Node;
  kept->m_value = 7;
  gc_assign(kept->m_next, new Node);
  gc_assign(g_root->m_next, kept);
  ForceSweep();
  ForceSweep();
  gc_flush_free_list();
  EXPECT_TRUE(gc_is_live_object(kept));
  EXPECT_TRUE(gc_is_live_object(kept->m_next));
  EXPECT_EQ(g_root->m_next->m_value, 7);
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(Collector, ObjectsOnlyDieAfterTheThresholdAndAreDestroyedByLaterAllocations) {
  ASSERT_EQ(gc_new_bytes, 0);
  // Unreachable garbage below 8 MiB: many steps, nothing freed.
  int steps = 0;
  while (gc_new_bytes + (int)sizeof(Node) * 1000 < gc_sweep_threshold) {
    for (int i = 0; i < 1000; ++i) new Node;
    gc_collect(nullptr);
    ++steps;
  }
  EXPECT_GT(steps, 100);
  EXPECT_EQ(gc_free_bytes, 0);
  EXPECT_EQ(g_destroyed, 0);

  // Crossing the threshold: the next step sweeps, but destroys nothing yet.
  while (gc_new_bytes <= gc_sweep_threshold) new Node;
  int before = gc_new_bytes;
  gc_collect(nullptr);
  EXPECT_EQ(gc_new_bytes, 0);
  EXPECT_GT(gc_free_bytes, before - 64);
  EXPECT_EQ(g_destroyed, 0);

  // Each allocation destroys at least as many bytes as it takes.
  int free_before = gc_free_bytes;
  new Node;
  EXPECT_GE(g_destroyed, 1);
  EXPECT_LE(gc_free_bytes, free_before - (int)sizeof(Node));
  gc_flush_free_list();
  EXPECT_EQ(gc_free_bytes, 0);
}

TEST_F(Collector, ExternalMemoryTriggersTheSweepAndKeepsLateReports) {
  new Node;
  gc_ext_malloced(gc_sweep_threshold - 1000);
  gc_collect(nullptr);
  EXPECT_EQ(gc_free_bytes, 0); // not yet
  gc_ext_malloced(2000);
  gc_collect(nullptr);
  EXPECT_GT(gc_free_bytes, 0);
  EXPECT_EQ(gc_ext_new_bytes.load(), 0);
}

TEST_F(Collector, SmallBlocksGoThroughTheSizeClassCache) {
  static_assert(sizeof(Cell) == 40, "Cell fills the 40-byte class");
  EmptySizeClass<Cell>(g_cells, [] { return new Cell; });
  Array<bool> small(1); // 32-byte body header + 1 element: a 40-byte block
  ASSERT_EQ(small.rep->gc_size(), 40);
  small[0] = true; // the next array in this block must still start at zero
  void* address = small.rep;
  small = Array<bool>();
  CollectFully();
  EXPECT_EQ(gc_cache_next(40), address);

  Array<int> next(1); // another 40-byte block takes it back
  EXPECT_EQ(static_cast<void*>(next.rep), address);
  EXPECT_EQ(next[0], 0);
  EXPECT_EQ(next.rep->gc_size(), 40);
}

// A large array's pages are touched only where it is used, so its size costs no memory until
// then; it still reads as zeros everywhere.
TEST_F(Collector, ALargeArrayCostsMemoryOnlyWhereItIsUsed) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator touches what it hands out";
#endif
  auto resident_mb = [] {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f && std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    if (f) std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024.0) / 1024.0;
  };
  const double before = resident_mb();
  Array<int> big(16 << 20); // 64 MB
  big[0] = big[(16 << 20) - 1] = 7;
  EXPECT_LT(resident_mb() - before, 16.0);
  EXPECT_EQ(big[12345678] + big[1] + big[(16 << 20) - 2], 0);
}

// A new-expression allocates before it evaluates its arguments: every object still gets the
// size of its own block, is counted, and its block goes back to its own size class; an
// argument that throws leaves nothing behind.
TEST_F(Collector, NestedNewExpressionsEachKeepTheSizeOfTheirOwnBlock) {
  struct Outer : Node {
    Node* inner;
    explicit Outer(Node* n) : inner(n) {}
  };
  constexpr int kOuter = (sizeof(Outer) + 7) & ~7, kNode = (sizeof(Node) + 7) & ~7;
  static_assert(kOuter != kNode && kOuter < gc_cache_classes * 8, "two small size classes");
  EmptySizeClass<Outer>(g_root, [] { return new Outer(nullptr); });
  const int before = gc_alloced_bytes;
  Outer* outer = new Outer(new Node);
  EXPECT_EQ(outer->gc_size(), kOuter);
  EXPECT_EQ(outer->inner->gc_size(), kNode);
  EXPECT_EQ(gc_alloced_bytes - before, kOuter + kNode);
  void* block = outer;
  CollectFully();
  EXPECT_EQ(gc_cache_next(kOuter), block);

  auto fails = []() -> Node* { throw 1; };
  EXPECT_THROW(new Outer(fails()), int);
  EXPECT_EQ(gc_alloced_bytes, before);
  Outer* again = new Outer(nullptr); // the block of the failed one, handed out once
  EXPECT_EQ(again->gc_size(), kOuter);
}

// Objects that die in any order give their blocks back lowest address first, so allocation
// after a sweep walks memory upwards instead of in the order the last cycle happened to mark.
TEST_F(Collector, BlocksFreedByASweepAreReusedInAddressOrder) {
  EmptySizeClass<Node>(g_root, [] { return new Node; });
  constexpr int kCount = 64;
  std::vector<Node*> nodes;
  for (int i = 0; i < kCount; ++i) nodes.push_back(new Node);
  // Stored, hence queued and marked, in shuffled order: the order they will die in.
  std::shuffle(nodes.begin(), nodes.end(), std::mt19937(7));
  gc_assign(g_nodes, Array<Node*>(kCount));
  for (int i = 0; i < kCount; ++i) gc_assign(g_nodes[i], nodes[i]);
  ForceSweep();
  gc_assign(g_nodes, Array<Node*>());
  CollectFully();
  ASSERT_EQ(g_destroyed, kCount);

  std::vector<void*> reused;
  for (int i = 0; i < kCount; ++i) reused.push_back(new Node);
  std::vector<void*> blocks(nodes.begin(), nodes.end());
  std::sort(blocks.begin(), blocks.end(), std::less<void*>());
  EXPECT_EQ(reused, blocks);
}

TEST_F(Collector, StaticEmptyArraysAreNeverQueued) {
  gc_assign(g_nodes, Array<Node*>());
  gc_assign(g_nodes, Array<Node*>(0));
  ForceSweep();
  gc_mark_queued(0x7fffffff);
  EXPECT_EQ(Array<Node*>::nullRep.flags, 3);
  EXPECT_EQ(Array<Node*>::nullRep.succ, &Array<Node*>::nullRep);
  EXPECT_FALSE(gc_is_live_object(&Array<Node*>::nullRep));
}

TEST_F(Collector, ArraysAndInterfacesKeepWhatTheyReference) {
  gc_assign(g_nodes, Array<Node*>(3));
  for (int i = 0; i < 3; ++i) {
    gc_assign(g_nodes[i], new Node);
    g_nodes[i]->m_value = i + 1;
  }
  ListenerNode* l = new ListenerNode;
  l->m_value = 42;
  gc_assign(l->m_next, new Node); // reachable only through the interface root
  gc_assign(g_listener, static_cast<Listener*>(l));
  new Node; // garbage
  gc_assign(g_grid, Array<Array<int>>(2));
  gc_assign(g_grid[1], Array<int>(3));
  g_grid[1][2] = 99;

  CollectFully();
  EXPECT_TRUE(gc_is_live_object(g_grid[1].rep));
  EXPECT_EQ(g_grid[1][2], 99);
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_EQ(g_nodes[2]->m_value, 3);
  EXPECT_EQ(g_listener->Id(), 42);
  EXPECT_TRUE(gc_is_live_object(l->m_next));
}

TEST_F(Collector, StringArraysReleaseTheirStringsWhenDestroyed) {
  String body("shared body");
  { Array<String>(2)[1] = body; }
  EXPECT_EQ(body.BodyRefs(), 2); // the dead array still holds its copy ...
  CollectFully();
  EXPECT_EQ(body.BodyRefs(), 1); // ... until it is destroyed
}

TEST_F(Collector, IncrementalMarkingFollowsAllocation) {
  // A live chain of 20000 nodes: a step marks nothing until something is allocated, then at
  // least as much as was allocated, and not the whole chain at once.
  Node* head = nullptr;
  for (int i = 0; i < 20000; ++i) {
    Node* n = new Node;
    gc_assign(n->m_next, head);
    head = n;
  }
  gc_assign(g_root, head);
  ForceSweep();
  gc_collect(nullptr);
  EXPECT_EQ(gc_marked_bytes, 0);
  for (int i = 0; i < 2000; ++i) new Node;
  int allocated = gc_new_bytes;
  gc_collect(nullptr);
  EXPECT_GT(gc_marked_bytes, allocated);
  EXPECT_LT(gc_marked_bytes, 20000 * (int)sizeof(Node));
}

TEST_F(Collector, CompareOrdersByAddressWithoutTruncation) {
  Node *a = new Node, *b = new Node;
  EXPECT_EQ(a->Compare(a), 0);
  EXPECT_EQ(std::abs(a->Compare(b)), 1);
  EXPECT_EQ(a->Compare(b), -b->Compare(a));
  EXPECT_TRUE(a->Equals(a));
  EXPECT_FALSE(a->Equals(b));
}
TEST(CollectorLists, ValidateFindsABrokenLink) {
  gc_validate_list(&gc_unmarked_list, "unmarked");
  gc_validate_list(&gc_free_list, nullptr);
  EXPECT_EXIT(
      {
        Node* n = new Node;
        n->pred = n; // damage the back link
        gc_validate_list(&gc_unmarked_list, "damaged\n");
      },
      ::testing::ExitedWithCode(255), "");
}

} // namespace
