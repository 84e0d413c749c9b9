// tests/runtime/gc_test.cpp — the collector: sizes, threshold, lazy destruction, marking, reuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "runtime/array.h"
#include "tests/support/collector.h"

namespace {

int g_destroyed;

class Node : public Object { // 48 bytes: the 32-byte header, a link and a value
public:
  Node* m_next = nullptr;
  int m_value = 0;
  ~Node() override { ++g_destroyed; }
  void mark() override { gc_mark_q(m_next); }
};

Node* g_root;
Array<Node*> g_nodes;
Array<Array<int>> g_grid;

// Only this file's roots, everything else destroyed, the counters at rest.
void Fresh() {
  gc_clear_roots(), gc_root(g_root), gc_root(g_nodes), gc_root(g_grid);
  g_root = nullptr, g_nodes = Array<Node*>(), g_grid = Array<Array<int>>();
  CollectFully();
  g_destroyed = 0;
}

Node* Link(Node* node, Node* next) { return gc_assign(node->m_next, next), node; }
void Step(int fresh) { gc_new_bytes = fresh, gc_collect(nullptr); } // a step after `fresh` new bytes

// The first allocation of the process included: each object gets the size of its own block, also
// inside another new-expression; an argument that throws leaves nothing counted.
TEST(Collector, ObjectsCarryTheSizeOfTheirOwnBlock) {
  Fresh();
  struct Outer : Node {
    Node* inner;
    explicit Outer(Node* n) : inner(n) {}
  };
  Outer* outer = new Outer(new Node);
  EXPECT_EQ(std::make_tuple(outer->gc_size(), outer->inner->gc_size(), gc_alloced_bytes, gc_new_bytes),
            std::make_tuple(56, 48, 104, 104));
  auto fails = []() -> Node* { throw 1; };
  EXPECT_THROW(new Outer(fails()), int);
  EXPECT_EQ(gc_alloced_bytes, 104);
  EXPECT_EQ(std::make_pair(Array<bool>(1).rep->gc_size(), Array<int>(8).rep->gc_size()),
            std::make_pair(40, 64));
}

// A sweep comes only past 8 MiB of new bytes; the dead wait on the free list and each allocation
// destroys just enough of them to cover its own size. {free bytes, destroyed, new bytes}
TEST(Collector, SweepsPastEightMebibytesAndDestroysLazily) {
  Fresh();
  for (int i = 0; i < 3; ++i) new Node;
  Step(8 << 20);
  EXPECT_EQ(std::make_tuple(gc_free_bytes, g_destroyed, gc_new_bytes), std::make_tuple(0, 0, 8 << 20));
  Step((8 << 20) + 1);
  EXPECT_EQ(std::make_tuple(gc_free_bytes, g_destroyed, gc_new_bytes), std::make_tuple(144, 0, 0));
  new Node; // 48 bytes: one dead Node
  EXPECT_EQ(std::make_tuple(gc_free_bytes, g_destroyed, gc_new_bytes), std::make_tuple(96, 1, 48));
  Array<bool> small(1); // 40 bytes: one more
  EXPECT_EQ(std::make_tuple(gc_free_bytes, g_destroyed, gc_new_bytes), std::make_tuple(48, 2, 88));
}

// A step marks new bytes + live bytes x new bytes / 8 MiB, in whole objects, and nothing when
// nothing was allocated. The step's extra root is kept through a sweep.
TEST(Collector, IncrementalMarkingKeepsPaceWithAllocation) {
  Fresh();
  for (int i = 0; i < 20000; ++i) gc_assign(g_root, Link(new Node, g_root)); // 960000 live bytes
  ForceSweep();
  gc_collect(nullptr);
  EXPECT_EQ(gc_marked_bytes, 0);
  for (int i = 0; i < 1000; ++i) new Node;
  gc_collect(nullptr);
  EXPECT_EQ(gc_marked_bytes, 1115 * 48); // 48000 + 960000 * 48000 / 8388608 = 53493.2
  Node* extra = new Node;
  gc_ext_malloced(gc_sweep_threshold + 1);
  gc_collect(extra);
  gc_flush_free_list();
  EXPECT_EQ(g_destroyed, 1000);
  EXPECT_TRUE(gc_is_live_object(extra)) << "the step's extra root";
  EXPECT_FALSE(gc_is_live_object(nullptr));
}

// What the roots reach through arrays and arrays of arrays stays, and is all that is counted; the
// markbit flips at each sweep, so new objects are white.
TEST(Collector, ReachableObjectsSurviveEveryCycleAndTheWriteBarrier) {
  Fresh();
  gc_assign(g_nodes, Array<Node*>(3)); // 56 bytes
  for (int i = 0; i < 3; ++i) gc_assign(g_nodes[i], new Node);
  gc_assign(g_nodes[2]->m_next, new Node);
  gc_assign(g_grid, Array<Array<int>>(2)); // 48 bytes
  gc_assign(g_grid[1], Array<int>(3));     // 44 rounded to 48
  g_grid[1][2] = 99;
  new Node;
  const int bit = gc_markbit;
  ForceSweep();
  EXPECT_NE(gc_markbit, bit);
  EXPECT_TRUE(gc_is_white(new Node));
  for (int i = 0; i < 3; ++i) ForceSweep();
  gc_flush_free_list();
  EXPECT_EQ(std::make_pair(g_destroyed, gc_alloced_bytes), std::make_pair(2, 56 + 4 * 48 + 48 + 48));
  EXPECT_TRUE(gc_is_live_object(g_nodes[2]->m_next));
  EXPECT_EQ(g_grid[1][2], 99);
  EXPECT_EQ(Array<Array<int>>::nullRep.flags, 3); // the rooted static empty body: never queued
  // A store into a holder marked this cycle is seen only through the write barrier.
  gc_assign(g_root, new Node);
  ForceSweep();
  gc_mark_queued(0x7fffffff);
  g_root->m_next = new Node;
  ForceSweep();
  gc_flush_free_list();
  EXPECT_EQ(g_destroyed, 3);
  g_root->m_next = nullptr;
  gc_mark_queued(0x7fffffff);
  gc_assign(g_root->m_next, Link(new Node, new Node));
  CollectFully();
  EXPECT_EQ(g_destroyed, 3);
  EXPECT_TRUE(gc_is_live_object(g_root->m_next->m_next));
}

// Freed blocks come out of their size class lowest address first, whatever order their objects
// died in; a zeroed array reads zero in a reused block.
TEST(Collector, SmallBlocksAreReusedLowestAddressFirst) {
  Fresh();
  while (gc_cache_next(48)) gc_assign(g_root, Link(new Node, g_root)); // now only what dies below is there
  std::vector<void*> blocks;
  for (int i = 0; i < 64; ++i) blocks.push_back(new Node);
  std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
  gc_assign(g_nodes, Array<Node*>((Node**)blocks.data(), 64)); // marked, hence dying, in this order
  gc_assign(g_grid, Array<Array<int>>(1));                     // an array of 48 bytes too, dying last
  gc_assign(g_grid[0], Array<int>(4));
  g_grid[0][3] = 7;
  blocks.push_back(g_grid[0].rep);
  ForceSweep();
  g_nodes = Array<Node*>(), g_grid = Array<Array<int>>();
  CollectFully();
  std::sort(blocks.begin(), blocks.end(), std::less<void*>());
  Array<int> again(4);
  EXPECT_EQ(static_cast<void*>(again.rep), blocks[0]);
  EXPECT_EQ(again[3], 0);
  for (int i = 1; i <= 64; ++i) ASSERT_EQ(new Node, blocks[i]) << i;
}

} // namespace
