// tests/runtime/containers_test.cpp — growable stacks and red-black tree maps: growth, length changes,
// copies, joins, tree shape and balance, ordering of extreme keys, and survival across collections.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "runtime/containers.h"
#include "tests/support/collector.h"

namespace {

// A small collected value for the maps and the pointer stacks.
class Payload : public Object {
public:
  int value = 0;
  explicit Payload(int v) : value(v) {}
};

Array<String> Strings(std::initializer_list<const char*> items) {
  Array<String> a(static_cast<int>(items.size()));
  int i = 0;
  for (const char* s : items) a[i++] = String(s);
  return a;
}

// The used elements as "a,b,c", then " spare <slot>=<value>" for each spare slot that does not
// hold the empty string.
std::string Contents(const c_Stack2& stack) {
  std::string out;
  for (int i = 0; i < stack.m_data.Length(); ++i) {
    std::string v = stack.m_data[i].ToUtf8();
    if (i < stack.p_Length2())
      out += (i ? "," : "") + v;
    else if (!v.empty())
      out += " spare " + std::to_string(i) + "=" + v;
  }
  return out;
}

c_Stack2* StackOf(int n) {
  c_Stack2* stack = (new c_Stack2)->m_new();
  for (int i = 0; i < n; ++i) stack->p_Push4(String(i));
  return stack;
}

TEST(Containers, StackGrowsToTwiceLengthPlusTenKeepingItsElementsInOrder) {
  c_Stack2* stack = (new c_Stack2)->m_new();
  std::vector<int> capacities;
  for (int i = 0; i < 31; ++i) {
    Array<String>::Rep* before = stack->m_data.rep;
    stack->p_Push4(String(i));
    if (stack->m_data.rep != before) capacities.push_back(stack->m_data.Length());
  }
  EXPECT_EQ(capacities, (std::vector<int>{10, 30, 70}));
  EXPECT_EQ(Contents(*stack).substr(0, 12), "0,1,2,3,4,5,");
  EXPECT_EQ(Contents(*stack).find(" spare"), std::string::npos);
  EXPECT_EQ(stack->p_Get(30).ToUtf8(), "30");

  // A stack of object references grows the same way; its spare slots are null.
  auto* objects = new Stack<Payload*>;
  for (int i = 0; i < 11; ++i) objects->Push(new Payload(i));
  ASSERT_EQ(objects->m_data.Length(), 30);
  EXPECT_EQ(objects->Get(10)->value, 10);
  for (int i = 11; i < 30; ++i) EXPECT_EQ(objects->m_data[i], nullptr) << "slot " << i;
}

TEST(Containers, StackLengthEmptiesDroppedSlotsAndGrowsToFit) {
  c_Stack2* stack = StackOf(5);
  Array<String>::Rep* storage = stack->m_data.rep;
  stack->p_Length(3);
  stack->p_Length(5); // within the capacity: empty strings, not the old values
  EXPECT_EQ(Contents(*stack), "0,1,2,,");
  EXPECT_EQ(stack->m_data.rep, storage) << "changes within the capacity keep the storage";
  stack->p_Length(-1); // below zero: empty
  EXPECT_EQ(Contents(*stack), "");

  // Beyond the capacity the new one is the larger of n and 2 * length + 10.
  const int cases[][4] = {{11, 5, 40, 40}, {25, 25, 31, 60}, {0, 0, 4, 10}}; // pushed, shrunk to, n, capacity
  for (auto [pushed, shrunk, n, capacity] : cases) {
    c_Stack2* s = StackOf(pushed);
    s->p_Length(shrunk);
    s->p_Length(n);
    EXPECT_EQ(s->m_data.Length(), capacity) << pushed << " " << shrunk << " " << n;
    EXPECT_EQ(s->p_Length2(), n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(s->p_Get(i).ToUtf8(), i < shrunk ? std::to_string(i) : "") << i;
  }

  // Reference stacks reset dropped slots to null.
  auto* objects = new Stack<Payload*>;
  for (int i = 0; i < 4; ++i) objects->Push(new Payload(i));
  objects->SetLength(1);
  objects->SetLength(3);
  EXPECT_EQ(objects->Get(1), nullptr);
  EXPECT_EQ(objects->m_data[3], nullptr);
}

TEST(Containers, StackCopiesRangesClearsAndJoins) {
  // ToArray: exactly the used elements in a new array; an empty stack gives the empty body.
  c_Stack2* stack = (new c_Stack2)->m_new();
  EXPECT_EQ(stack->p_ToArray().rep, &Array<String>::nullRep);
  stack->p_Push5(Strings({"p", "x", "y", "z", "t"}), 1, 3);
  stack->p_Push6(Strings({"p", "q", "r"}), 2);
  stack->p_Push5(Strings({"p"}), 1, 0);
  Array<String> copy = stack->p_ToArray();
  ASSERT_EQ(copy.Length(), 4);
  copy[0] = String("changed");
  EXPECT_EQ(Contents(*stack), "x,y,z,r");

  Array<String>::Rep* storage = stack->m_data.rep;
  stack->p_Clear(); // empties the used slots, keeps the storage
  EXPECT_EQ(stack->m_data.rep, storage);
  EXPECT_EQ(Contents(*stack), "");

  // m_new2 copies: later changes to the source do not show.
  Array<String> initial = Strings({"one", "two", "three"});
  c_Stack2* copied = (new c_Stack2)->m_new2(initial);
  initial[1] = String("TWO");
  copied->p_Push4(String("four"));
  EXPECT_EQ(Contents(*copied), "one,two,three,four");

  // Join uses the used elements only.
  c_StringStack* words = (new c_StringStack)->m_new(Strings({"red", "green", "blue"}));
  EXPECT_EQ(words->p_Join(String(", ")).ToUtf8(), "red, green, blue");
  words->p_Length(2);
  EXPECT_EQ(words->p_Join(String()).ToUtf8(), "redgreen");

  // ContainsIdentical: the same object, not an equal one, and only among the used slots.
  auto* objects = new Stack<Payload*>;
  auto *a = new Payload(1), *twin = new Payload(1);
  objects->Push(a);
  EXPECT_TRUE(objects->ContainsIdentical(a));
  EXPECT_FALSE(objects->ContainsIdentical(twin));
  EXPECT_FALSE(objects->ContainsIdentical(nullptr)) << "spare slots are not elements";
  objects->Clear();
  EXPECT_FALSE(objects->ContainsIdentical(a));
}

using PMap = Map<Payload*>;
using PNode = MapNode<Payload*>;

// Walks the tree: parent links, colours, no red node with a red child, equal black heights.
struct TreeCheck {
  std::vector<int> in_order;
  int max_depth = 0;
  std::string error;

  int Walk(PNode* node, PNode* parent, int depth) {
    if (!node) return 1;
    max_depth = std::max(max_depth, depth);
    std::string key = "key " + std::to_string(node->m_key);
    if (node->m_parent != parent) error = key + " has a wrong parent link";
    if (node->m_color != -1 && node->m_color != 1)
      error = key + " has colour " + std::to_string(node->m_color);
    for (PNode* child : {node->m_left, node->m_right})
      if (node->m_color == -1 && child && child->m_color == -1) error = "red " + key + " has a red child";
    int left = Walk(node->m_left, node, depth + 1);
    in_order.push_back(node->m_key);
    if (left != Walk(node->m_right, node, depth + 1)) error = "black heights differ below " + key;
    return left + (node->m_color == 1 ? 1 : 0);
  }
};

// A red-black tree of `count` nodes, keys in the map's order, black root, height within 2 log2(n + 1).
::testing::AssertionResult IsRedBlack(PMap* map, size_t count) {
  TreeCheck check;
  check.Walk(map->m_root, nullptr, 1);
  if (!check.error.empty()) return ::testing::AssertionFailure() << check.error;
  if (check.in_order.size() != count)
    return ::testing::AssertionFailure() << check.in_order.size() << " nodes, expected " << count;
  for (size_t i = 1; i < count; ++i)
    if (map->p_Compare(check.in_order[i - 1], check.in_order[i]) >= 0)
      return ::testing::AssertionFailure() << "keys " << check.in_order[i - 1] << ", " << check.in_order[i];
  if (count > 1 && map->m_root->m_color != 1) return ::testing::AssertionFailure() << "red root";
  if (check.max_depth > 2 * std::log2(static_cast<double>(count) + 1))
    return ::testing::AssertionFailure() << "height " << check.max_depth;
  return ::testing::AssertionSuccess();
}

std::vector<int> InOrderKeys(PMap* map) {
  TreeCheck check;
  check.Walk(map->m_root, nullptr, 1);
  return check.in_order;
}

// Orders keys from high to low, to show that both lookup and insertion go through p_Compare.
class DescendingMap : public Map<Payload*> {
public:
  int p_Compare(int a, int b) override { return a > b ? -1 : (a < b ? 1 : 0); }
};

TEST(Containers, MapSetInsertsOrReplacesWithoutReshapingAndOrdersExtremeKeys) {
  auto* map = new IntMap<Payload*>;
  EXPECT_FALSE(map->p_Contains(5));
  std::vector<int> keys = {50, 20, 80, 10, 30, 70, 90, 25, 35, 5, 1, 60};
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_TRUE(map->p_Set(keys[i], new Payload(keys[i])));
    ASSERT_TRUE(IsRedBlack(map, i + 1)) << "after inserting " << keys[i];
  }
  for (int key : keys) EXPECT_EQ(map->p_FindNode(key)->m_value->value, key);
  for (int missing : {0, 26, 100}) EXPECT_FALSE(map->p_Contains(missing)) << missing;

  // Replacing: false, and the same node takes the new value.
  PNode *root = map->m_root, *node30 = map->p_FindNode(30);
  for (int key : keys) EXPECT_FALSE(map->p_Set(key, new Payload(-key)));
  EXPECT_FALSE(map->p_Insert(30, nullptr));
  EXPECT_EQ(map->m_root, root);
  EXPECT_EQ(map->p_FindNode(30), node30);
  EXPECT_EQ(node30->m_value, nullptr);
  EXPECT_EQ(map->p_FindNode(35)->m_value->value, -35);

  // Keys at the ends of the int range order correctly (a - b would overflow).
  auto* extremes = new IntMap<Payload*>;
  std::vector<int> wide = {INT_MAX, INT_MIN, 0, -1, 1, INT_MIN + 1, INT_MAX - 1, 1000000000, -1000000000};
  for (int key : wide) EXPECT_TRUE(extremes->p_Set(key, new Payload(key)));
  std::sort(wide.begin(), wide.end());
  EXPECT_EQ(InOrderKeys(extremes), wide);

  // A map with its own comparison keeps its own order.
  auto* descending = new DescendingMap;
  for (int key : {3, 9, 1, 7, 5}) descending->p_Set(key, new Payload(key));
  EXPECT_FALSE(descending->p_Set(7, new Payload(70)));
  EXPECT_TRUE(IsRedBlack(descending, 5));
  EXPECT_EQ(descending->p_FindNode(7)->m_value->value, 70);
}

TEST(Containers, MapStaysBalancedUnderRandomAndSortedInserts) {
  // Random keys with repeats, checked against a reference map.
  std::mt19937 rng(20240607u);
  std::uniform_int_distribution<int> pick(-2500, 2500);
  auto* map = new IntMap<Payload*>;
  std::map<int, int> reference;
  for (int i = 0; i < 4000; ++i) {
    int key = pick(rng);
    bool fresh = reference.count(key) == 0;
    reference[key] = i;
    ASSERT_EQ(map->p_Set(key, new Payload(i)), fresh) << "insertion " << i << " key " << key;
    if (i % 16 == 0) {
      ASSERT_TRUE(IsRedBlack(map, reference.size())) << "insertion " << i;
    }
  }
  ASSERT_TRUE(IsRedBlack(map, reference.size()));
  for (int probe = -2600; probe <= 2600; ++probe) {
    PNode* node = map->p_FindNode(probe); // values are >= 0: -1 stands for "absent"
    EXPECT_EQ(node ? node->m_value->value : -1, reference.count(probe) ? reference[probe] : -1) << probe;
  }

  // A sorted run is the classic worst case for an unbalanced tree.
  auto* ascending = new IntMap<Payload*>;
  for (int key = 1; key <= 1000; ++key) {
    ascending->p_Set(key, new Payload(key));
    ASSERT_TRUE(IsRedBlack(ascending, key)) << "ascending to " << key;
  }
}

c_StringStack* g_strings;
Stack<Payload*>* g_objects;
IntMap<Payload*>* g_map;

// Every object a rooted container depends on is still on the collector's lists.
::testing::AssertionResult AllLive() {
  std::vector<const void*> needed = {g_strings, g_strings->m_data.rep, g_objects, g_objects->m_data.rep,
                                     g_map};
  for (int i = 0; i < g_objects->Length(); ++i) needed.push_back(g_objects->Get(i));
  for (std::vector<PNode*> pending = {g_map->m_root}; !pending.empty();) {
    PNode* node = pending.back();
    pending.pop_back();
    if (!node) continue;
    needed.insert(needed.end(), {node, node->m_value});
    pending.insert(pending.end(), {node->m_left, node->m_right});
  }
  for (size_t i = 0; i < needed.size(); ++i)
    if (!gc_is_live_object(needed[i]))
      return ::testing::AssertionFailure() << "object " << i << " was collected";
  return ::testing::AssertionSuccess();
}

TEST(Containers, ReachableContainersSurviveCollection) {
  gc_clear_roots();
  gc_root(g_strings);
  gc_root(g_objects);
  gc_root(g_map);
  gc_assign(g_strings, (new c_StringStack)->m_new(Strings({"alpha", "beta"})));
  for (int i = 0; i < 40; ++i) g_strings->p_Push4(String(i));
  gc_assign(g_objects, new Stack<Payload*>);
  for (int i = 0; i < 12; ++i) g_objects->Push(new Payload(i));
  gc_assign(g_map, new IntMap<Payload*>);
  for (int key = 0; key < 200; ++key) g_map->p_Set(key * 3, new Payload(key * 3));
  Payload* unreachable = new Payload(-1);
  CollectFully();
  ASSERT_TRUE(AllLive());
  EXPECT_FALSE(gc_is_live_object(unreachable)) << "the sweeps did run";

  // Mark everything that is reachable now, then change the containers: each new or moved
  // reference must be caught by the write barrier, or the next sweep frees it.
  gc_mark_queued(INT_MAX);
  for (int key = 0; key < 200; key += 2) EXPECT_FALSE(g_map->p_Set(key * 3, new Payload(-key * 3)));
  for (int key = 1000; key < 1100; ++key) EXPECT_TRUE(g_map->p_Set(key, new Payload(key)));
  ASSERT_EQ(g_objects->m_data.Length(), 30); // these stores land in the already marked storage
  for (int i = 12; i < 30; ++i) g_objects->Push(new Payload(i));
  for (int i = 40; i < 100; ++i) g_strings->p_Push4(String(i));
  CollectFully();
  ASSERT_TRUE(AllLive());
  gc_mark_queued(INT_MAX); // again, with the object stack growing twice
  for (int i = 30; i < 80; ++i) g_objects->Push(new Payload(i));
  CollectFully();
  ASSERT_TRUE(AllLive());

  EXPECT_EQ(g_strings->p_Get(101).ToUtf8(), "99");
  EXPECT_EQ(g_objects->Get(79)->value, 79);
  EXPECT_TRUE(IsRedBlack(g_map, 300));
  EXPECT_EQ(g_map->p_FindNode(6)->m_value->value, -6); // the replacement made after marking
  gc_clear_roots();
  g_strings = nullptr;
  g_objects = nullptr;
  g_map = nullptr;
}

} // namespace
