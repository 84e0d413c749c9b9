// tests/runtime/gc_stress_test.cpp — random object graphs with cycles over many collection cycles:
// exactly the unreachable objects die, and never a reachable one.
#include <gtest/gtest.h>

#include <random>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "runtime/array.h"
#include "runtime/gc.h"
#include "tests/support/collector.h"

namespace {

// Objects alive in the test's own bookkeeping: constructed and not yet destroyed.
std::unordered_map<const void*, int> g_alive;
int g_next_id;

class GraphNode : public Object {
public:
  GraphNode* m_a = nullptr;
  GraphNode* m_b = nullptr;
  Array<GraphNode*> m_more;
  String m_label;
  int m_id;

  GraphNode() : m_id(++g_next_id) { g_alive[this] = m_id; }
  ~GraphNode() override { g_alive.erase(this); }
  void mark() override {
    gc_mark_q(m_a);
    gc_mark_q(m_b);
    gc_mark_q(m_more);
  }
};

Array<GraphNode*> g_slots;

// Walks the graph from the root array, checking that every object met is still
// alive before touching it. Returns the reachable set.
std::unordered_set<const void*> Reachable() {
  std::unordered_set<const void*> seen;
  std::vector<GraphNode*> todo;
  for (GraphNode* n : g_slots)
    if (n) todo.push_back(n);
  while (!todo.empty()) {
    GraphNode* n = todo.back();
    todo.pop_back();
    if (!seen.insert(n).second) continue;
    EXPECT_EQ(g_alive.count(n), 1u) << "a reachable object was destroyed";
    if (!g_alive.count(n)) continue;
    EXPECT_EQ(n->m_label, String(n->m_id));
    if (n->m_a) todo.push_back(n->m_a);
    if (n->m_b) todo.push_back(n->m_b);
    for (GraphNode* m : n->m_more)
      if (m) todo.push_back(m);
  }
  return seen;
}

void ValidateLists() {
  gc_validate_list(&gc_free_list, "free\n");
  gc_validate_list(&gc_unmarked_list, "unmarked\n");
  gc_validate_list(&gc_queued_list, "queued\n");
  gc_validate_list(&gc_marked_list, "marked\n");
}

TEST(CollectorStress, RandomGraphsOverManyCycles) {
  std::mt19937 rng(20261206);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };

  gc_clear_roots();
  gc_root(g_slots);
  gc_assign(g_slots, Array<GraphNode*>(64));

  std::vector<GraphNode*> recent; // may point at dead objects: only used after a liveness check
  auto random_live = [&]() -> GraphNode* {
    for (int tries = 0; tries < 4 && !recent.empty(); ++tries) {
      GraphNode* n = recent[pick(static_cast<int>(recent.size()))];
      if (g_alive.count(n)) return n;
    }
    return nullptr;
  };
  // Only objects reachable right now may be linked in: a store of a dead one would be
  // a use after free in a real program too.
  auto reachable_pick = [&](const std::unordered_set<const void*>& reach) -> GraphNode* {
    GraphNode* n = random_live();
    return n && reach.count(n) ? n : nullptr;
  };

  int sweeps = 0;
  for (int frame = 0; frame < 3000; ++frame) {
    std::unordered_set<const void*> reach = Reachable();
    for (int op = 0; op < 40; ++op) {
      switch (pick(6)) {
      case 0: { // a new node into a root slot
        GraphNode* n = new GraphNode;
        n->m_label = String(n->m_id);
        gc_assign(g_slots[pick(64)], n);
        recent.push_back(n);
        reach.insert(n);
        break;
      }
      case 1: { // a new node hung below a reachable one, sometimes pointing back (a cycle)
        GraphNode* parent = reachable_pick(reach);
        if (!parent) break;
        GraphNode* n = new GraphNode;
        n->m_label = String(n->m_id);
        if (pick(2)) gc_assign(n->m_a, parent);
        gc_assign(pick(2) ? parent->m_a : parent->m_b, n);
        recent.push_back(n);
        reach.insert(n);
        break;
      }
      case 2: // drop a root
        gc_assign(g_slots[pick(64)], static_cast<GraphNode*>(nullptr));
        break;
      case 3: { // relink between reachable nodes
        GraphNode* a = reachable_pick(reach);
        GraphNode* b = reachable_pick(reach);
        if (a) gc_assign(a->m_b, b);
        break;
      }
      case 4: { // an array field of references
        GraphNode* a = reachable_pick(reach);
        if (!a) break;
        Array<GraphNode*> more(1 + pick(4));
        for (GraphNode*& slot : more) gc_assign(slot, reachable_pick(reach));
        gc_assign(a->m_more, more);
        break;
      }
      default: // garbage that never becomes reachable, some of it cyclic
        GraphNode* g = new GraphNode;
        gc_assign(g->m_a, new GraphNode);
        gc_assign(g->m_a->m_a, g);
        break;
      }
    }
    if (pick(4) == 0) gc_ext_malloced(pick(200000));
    int before = gc_new_bytes;
    gc_collect(nullptr);
    if (gc_new_bytes == 0 && before != 0) ++sweeps;
    if (frame % 100 == 0) ValidateLists();
    if (recent.size() > 4096) recent.erase(recent.begin(), recent.begin() + 2048);
  }
  EXPECT_GT(sweeps, 5);
  ValidateLists();

  // Settle: two full cycles leave exactly the reachable objects alive.
  CollectFully();
  ValidateLists();
  std::unordered_set<const void*> reach = Reachable();
  EXPECT_EQ(g_alive.size(), reach.size());
  for (const auto& entry : g_alive) EXPECT_EQ(reach.count(entry.first), 1u);

  // Dropping every root lets everything die.
  gc_assign(g_slots, Array<GraphNode*>());
  CollectFully();
  EXPECT_EQ(g_alive.size(), 0u);
  gc_clear_roots();
}

} // namespace
