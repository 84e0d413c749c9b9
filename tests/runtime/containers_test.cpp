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

namespace {

String S(const char* s) { return String(s); }
std::string U8(const String& s) { return s.ToUtf8(); }

// A small collected value for the maps and the pointer stacks.
class Payload : public Object {
public:
  int value = 0;
  explicit Payload(int v) : value(v) {}
};

Array<String> Strings(std::initializer_list<const char*> items) {
  Array<String> a(static_cast<int>(items.size()));
  int i = 0;
  for (const char* s : items) a[i++] = S(s);
  return a;
}

std::vector<std::string> Contents(const c_Stack2& stack) {
  std::vector<std::string> out;
  for (int i = 0; i < stack.p_Length2(); ++i) out.push_back(U8(stack.p_Get(i)));
  return out;
}

// Every slot from `from` up to the capacity holds the empty string.
::testing::AssertionResult SlotsEmptyFrom(const c_Stack2& stack, int from) {
  for (int i = from; i < stack.m_data.Length(); ++i)
    if (stack.m_data[i].Length() != 0)
      return ::testing::AssertionFailure() << "slot " << i << " holds \"" << U8(stack.m_data[i]) << "\"";
  return ::testing::AssertionSuccess();
}

// ============================================================================
// Stacks
// ============================================================================

TEST(Containers, StackGrowsToTwiceLengthPlusTenAndCopiesInOrder) {
  c_Stack2* stack = (new c_Stack2)->m_new();
  EXPECT_EQ(stack->p_Length2(), 0);
  EXPECT_EQ(stack->m_data.Length(), 0);

  // Eleven pushes allocate exactly twice: capacity 10 on the first, 30 on the eleventh.
  std::vector<int> capacities;
  Array<String>::Rep* last = stack->m_data.rep;
  for (int i = 0; i < 11; ++i) {
    stack->p_Push4(String(i));
    if (stack->m_data.rep != last) {
      capacities.push_back(stack->m_data.Length());
      last = stack->m_data.rep;
    }
  }
  EXPECT_EQ(capacities, (std::vector<int>{10, 30}));
  EXPECT_EQ(stack->p_Length2(), 11);
  std::vector<std::string> expected;
  for (int i = 0; i < 11; ++i) expected.push_back(std::to_string(i));
  EXPECT_EQ(Contents(*stack), expected);
  EXPECT_TRUE(SlotsEmptyFrom(*stack, 11));

  // Further growth continues the sequence.
  for (int i = 11; i < 151; ++i) {
    stack->p_Push4(String(i));
    if (stack->m_data.rep != last) {
      capacities.push_back(stack->m_data.Length());
      last = stack->m_data.rep;
    }
  }
  EXPECT_EQ(capacities, (std::vector<int>{10, 30, 70, 150, 310}));
  ASSERT_EQ(stack->p_Length2(), 151);
  for (int i = 0; i < 151; ++i) EXPECT_EQ(stack->p_Get(i).ToInt(), i) << "index " << i;
  EXPECT_TRUE(SlotsEmptyFrom(*stack, 151));

  // A stack of object references grows the same way; its spare slots are null.
  auto* objects = new Stack<Payload*>;
  std::vector<Payload*> pushed;
  for (int i = 0; i < 31; ++i) {
    pushed.push_back(new Payload(i));
    objects->Push(pushed.back());
  }
  ASSERT_EQ(objects->m_data.Length(), 70);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(objects->Get(i), pushed[i]);
  for (int i = 31; i < 70; ++i) EXPECT_EQ(objects->m_data[i], nullptr) << "slot " << i;
}

TEST(Containers, StackSetLengthShrinksToEmptySlotsAndGrowsToFit) {
  c_Stack2* stack = (new c_Stack2)->m_new();
  for (const char* s : {"a", "b", "c", "d", "e"}) stack->p_Push4(S(s));
  Array<String>::Rep* before = stack->m_data.rep;

  stack->p_Length(3);
  EXPECT_EQ(stack->p_Length2(), 3);
  EXPECT_EQ(Contents(*stack), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(stack->m_data.rep, before) << "shrinking must not reallocate";
  EXPECT_TRUE(SlotsEmptyFrom(*stack, 3));
  // Lengthening again within the capacity shows empty strings, not the old values.
  stack->p_Length(5);
  EXPECT_EQ(stack->m_data.rep, before);
  EXPECT_EQ(Contents(*stack), (std::vector<std::string>{"a", "b", "c", "", ""}));
  stack->p_Push4(S("f"));
  EXPECT_EQ(U8(stack->p_Get(5)), "f");
  stack->p_Length(0);
  EXPECT_EQ(stack->p_Length2(), 0);
  EXPECT_TRUE(SlotsEmptyFrom(*stack, 0));

  // Capacity 30, length 5: a length of 40 exceeds 2*5+10, so the capacity becomes 40.
  c_Stack2* wide = (new c_Stack2)->m_new();
  for (int i = 0; i < 11; ++i) wide->p_Push4(String(i));
  ASSERT_EQ(wide->m_data.Length(), 30);
  wide->p_Length(5);
  wide->p_Length(40);
  EXPECT_EQ(wide->p_Length2(), 40);
  EXPECT_EQ(wide->m_data.Length(), 40);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(wide->p_Get(i).ToInt(), i);
  EXPECT_TRUE(SlotsEmptyFrom(*wide, 5));

  // Capacity 30, length 25: 2*25+10 exceeds 31, so that wins.
  c_Stack2* deep = (new c_Stack2)->m_new();
  for (int i = 0; i < 25; ++i) deep->p_Push4(String(i));
  deep->p_Length(31);
  EXPECT_EQ(deep->m_data.Length(), 60);
  EXPECT_EQ(deep->p_Length2(), 31);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(deep->p_Get(i).ToInt(), i);
  EXPECT_TRUE(SlotsEmptyFrom(*deep, 25));

  // On a fresh stack a length beyond the (zero) capacity allocates max(10, n).
  c_Stack2* fresh = (new c_Stack2)->m_new();
  fresh->p_Length(4);
  EXPECT_EQ(fresh->m_data.Length(), 10);
  EXPECT_EQ(fresh->p_Length2(), 4);
  EXPECT_TRUE(SlotsEmptyFrom(*fresh, 0));

  // Reference stacks reset dropped slots to null.
  auto* objects = new Stack<Payload*>;
  for (int i = 0; i < 4; ++i) objects->Push(new Payload(i));
  objects->SetLength(1);
  for (int i = 1; i < objects->m_data.Length(); ++i) EXPECT_EQ(objects->m_data[i], nullptr) << "slot " << i;
  objects->SetLength(3);
  EXPECT_EQ(objects->Get(0)->value, 0);
  EXPECT_EQ(objects->Get(1), nullptr);
  EXPECT_EQ(objects->Get(2), nullptr);
}

TEST(Containers, StackCopiesRangesClearsAndJoins) {
  // ToArray: exactly the used elements, in push order, in a new array.
  c_Stack2* stack = (new c_Stack2)->m_new();
  EXPECT_EQ(stack->p_ToArray().rep, &Array<String>::nullRep);
  for (const char* s : {"x", "y", "z"}) stack->p_Push4(S(s));
  Array<String> copy = stack->p_ToArray();
  ASSERT_EQ(copy.Length(), 3);
  EXPECT_NE(copy.rep, stack->m_data.rep);
  EXPECT_EQ(U8(copy[0]), "x");
  EXPECT_EQ(U8(copy[1]), "y");
  EXPECT_EQ(U8(copy[2]), "z");
  copy[0] = S("changed");
  EXPECT_EQ(U8(stack->p_Get(0)), "x");

  // Clear empties the used slots, keeps the capacity, and the stack is usable again.
  Array<String>::Rep* storage = stack->m_data.rep;
  stack->p_Clear();
  EXPECT_EQ(stack->p_Length2(), 0);
  EXPECT_EQ(stack->m_data.rep, storage);
  EXPECT_TRUE(SlotsEmptyFrom(*stack, 0));
  EXPECT_EQ(stack->p_ToArray().rep, &Array<String>::nullRep);
  stack->p_Push4(S("again"));
  EXPECT_EQ(Contents(*stack), (std::vector<std::string>{"again"}));

  // Ranges: (offset, count) and (offset) to the end; an empty range pushes nothing.
  Array<String> source = Strings({"p", "q", "r", "s", "t"});
  c_Stack2* ranges = (new c_Stack2)->m_new();
  ranges->p_Push5(source, 1, 3);
  EXPECT_EQ(Contents(*ranges), (std::vector<std::string>{"q", "r", "s"}));
  ranges->p_Push6(source, 3);
  EXPECT_EQ(Contents(*ranges), (std::vector<std::string>{"q", "r", "s", "s", "t"}));
  ranges->p_Push5(source, 2, 0);
  ranges->p_Push6(source, 5);
  EXPECT_EQ(ranges->p_Length2(), 5);
  // A range that crosses a growth keeps every element.
  Array<String> many(25);
  for (int i = 0; i < 25; ++i) many[i] = String(i);
  ranges->p_Push6(many, 0);
  ASSERT_EQ(ranges->p_Length2(), 30);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(ranges->p_Get(5 + i).ToInt(), i);

  // m_new2 copies: later changes to the source do not show, and pushing grows from there.
  Array<String> initial = Strings({"one", "two", "three"});
  c_Stack2* copied = (new c_Stack2)->m_new2(initial);
  EXPECT_NE(copied->m_data.rep, initial.rep);
  initial[1] = S("TWO");
  EXPECT_EQ(Contents(*copied), (std::vector<std::string>{"one", "two", "three"}));
  copied->p_Push4(S("four"));
  EXPECT_EQ(Contents(*copied), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(initial.Length(), 3);
  c_Stack2* from_empty = (new c_Stack2)->m_new2(Array<String>());
  EXPECT_EQ(from_empty->p_Length2(), 0);
  from_empty->p_Push4(S("only"));
  EXPECT_EQ(Contents(*from_empty), (std::vector<std::string>{"only"}));

  // Join uses the used elements only.
  c_StringStack* words = (new c_StringStack)->m_new(Strings({"red", "green", "blue"}));
  EXPECT_EQ(U8(words->p_Join(S(", "))), "red, green, blue");
  EXPECT_EQ(U8(words->p_Join(String())), "redgreenblue");
  words->p_Length(2);
  EXPECT_EQ(U8(words->p_Join(S("+"))), "red+green");
  words->p_Clear();
  EXPECT_EQ(words->p_Join(S(",")).Length(), 0);

  // ContainsIdentical: the same object, not an equal one, and only among the used slots.
  auto* objects = new Stack<Payload*>;
  auto *a = new Payload(1), *b = new Payload(2), *twin = new Payload(1);
  objects->Push(a);
  objects->Push(b);
  EXPECT_TRUE(objects->ContainsIdentical(a));
  EXPECT_TRUE(objects->ContainsIdentical(b));
  EXPECT_FALSE(objects->ContainsIdentical(twin));
  EXPECT_FALSE(objects->ContainsIdentical(nullptr)) << "spare slots are not elements";
  objects->Push(nullptr);
  EXPECT_TRUE(objects->ContainsIdentical(nullptr));
  objects->SetLength(2);
  objects->SetLength(1);
  EXPECT_FALSE(objects->ContainsIdentical(b));
  objects->Clear();
  EXPECT_FALSE(objects->ContainsIdentical(a));
}

// ============================================================================
// Maps
// ============================================================================

using PMap = Map<Payload*>;
using PNode = MapNode<Payload*>;

// Checks the tree below `node`: parent links, colours, no red node with a red child,
// equal black height, keys in order by the map's comparison. Returns the black height.
struct TreeCheck {
  std::vector<int> in_order;
  int max_depth = 0;
  std::string error;

  int Walk(PNode* node, PNode* parent, int depth) {
    if (!node) return 1;
    if (depth > max_depth) max_depth = depth;
    if (node->m_parent != parent && error.empty())
      error = "key " + std::to_string(node->m_key) + " has a wrong parent link";
    if (node->m_color != -1 && node->m_color != 1 && error.empty())
      error = "key " + std::to_string(node->m_key) + " has colour " + std::to_string(node->m_color);
    if (node->m_color == -1 && error.empty()) {
      for (PNode* child : {node->m_left, node->m_right})
        if (child && child->m_color == -1)
          error = "red key " + std::to_string(node->m_key) + " has a red child";
    }
    int left = Walk(node->m_left, node, depth + 1);
    in_order.push_back(node->m_key);
    int right = Walk(node->m_right, node, depth + 1);
    if (left != right && error.empty())
      error = "black heights differ below key " + std::to_string(node->m_key);
    return left + (node->m_color == 1 ? 1 : 0);
  }
};

::testing::AssertionResult IsRedBlack(PMap* map, size_t expected_count) {
  TreeCheck check;
  check.Walk(map->m_root, nullptr, 1);
  if (!check.error.empty()) return ::testing::AssertionFailure() << check.error;
  if (check.in_order.size() != expected_count)
    return ::testing::AssertionFailure() << check.in_order.size() << " nodes, expected " << expected_count;
  for (size_t i = 1; i < check.in_order.size(); ++i)
    if (map->p_Compare(check.in_order[i - 1], check.in_order[i]) >= 0)
      return ::testing::AssertionFailure()
             << "in-order keys " << check.in_order[i - 1] << ", " << check.in_order[i] << " out of order";
  double bound = 2 * std::log2(static_cast<double>(expected_count) + 1);
  if (check.max_depth > bound)
    return ::testing::AssertionFailure() << "height " << check.max_depth << " exceeds " << bound;
  return ::testing::AssertionSuccess();
}

std::vector<int> InOrderKeys(PMap* map) {
  TreeCheck check;
  check.Walk(map->m_root, nullptr, 1);
  return check.in_order;
}

struct NodeShape {
  PNode *node, *left, *right, *parent;
  int color;
  bool operator==(const NodeShape& o) const {
    return node == o.node && left == o.left && right == o.right && parent == o.parent && color == o.color;
  }
};

void CollectShape(PNode* node, std::vector<NodeShape>& out) {
  if (!node) return;
  out.push_back({node, node->m_left, node->m_right, node->m_parent, node->m_color});
  CollectShape(node->m_left, out);
  CollectShape(node->m_right, out);
}

std::vector<NodeShape> Shape(PMap* map) {
  std::vector<NodeShape> out;
  CollectShape(map->m_root, out);
  return out;
}

// Orders keys from high to low, to show that both lookup and insertion go through p_Compare.
class DescendingMap : public Map<Payload*> {
public:
  int p_Compare(int a, int b) override { return a > b ? -1 : (a < b ? 1 : 0); }
};

TEST(Containers, MapSetInsertsOrReplacesWithoutReshaping) {
  auto* map = new IntMap<Payload*>;
  EXPECT_EQ(map->p_FindNode(5), nullptr);
  EXPECT_FALSE(map->p_Contains(5));

  std::vector<int> keys = {50, 20, 80, 10, 30, 70, 90, 25, 35, 5, 1, 60};
  std::map<int, Payload*> values;
  for (size_t i = 0; i < keys.size(); ++i) {
    auto* p = new Payload(keys[i] * 10);
    EXPECT_TRUE(map->p_Set(keys[i], p)) << "key " << keys[i];
    values[keys[i]] = p;
    if (i >= 1) {
      EXPECT_EQ(map->m_root->m_color, 1) << "after inserting " << keys[i];
    }
    ASSERT_TRUE(IsRedBlack(map, i + 1)) << "after inserting " << keys[i];
  }
  for (auto& [key, value] : values) {
    PNode* node = map->p_FindNode(key);
    ASSERT_NE(node, nullptr) << "key " << key;
    EXPECT_EQ(node->m_key, key);
    EXPECT_EQ(node->m_value, value);
    EXPECT_TRUE(map->p_Contains(key));
  }
  for (int missing : {0, 2, 26, 55, 100, -50}) EXPECT_FALSE(map->p_Contains(missing)) << "key " << missing;

  // Replacing a value: false, the same node gets the new value, no link or colour moves.
  std::vector<NodeShape> before = Shape(map);
  for (int key : keys) {
    PNode* node = map->p_FindNode(key);
    auto* replacement = new Payload(-key);
    EXPECT_FALSE(map->p_Set(key, replacement)) << "key " << key;
    EXPECT_EQ(map->p_FindNode(key), node);
    EXPECT_EQ(node->m_value, replacement);
  }
  EXPECT_TRUE(Shape(map) == before);
  EXPECT_FALSE(map->p_Insert(30, nullptr));
  EXPECT_EQ(map->p_FindNode(30)->m_value, nullptr);
  EXPECT_TRUE(Shape(map) == before);
  EXPECT_TRUE(IsRedBlack(map, keys.size()));

  // Keys at the ends of the int range order correctly (a - b would overflow).
  auto* extremes = new IntMap<Payload*>;
  std::vector<int> wide = {INT_MAX, INT_MIN, 0, -1, 1, INT_MIN + 1, INT_MAX - 1, 1000000000, -1000000000};
  for (int key : wide) EXPECT_TRUE(extremes->p_Set(key, new Payload(key)));
  EXPECT_TRUE(IsRedBlack(extremes, wide.size()));
  std::vector<int> sorted = wide;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(InOrderKeys(extremes), sorted);
  for (int key : wide) {
    PNode* node = extremes->p_FindNode(key);
    ASSERT_NE(node, nullptr) << "key " << key;
    EXPECT_EQ(node->m_value->value, key);
  }
  EXPECT_FALSE(extremes->p_Set(INT_MIN, new Payload(7)));
  EXPECT_EQ(extremes->p_FindNode(INT_MIN)->m_value->value, 7);
  EXPECT_FALSE(extremes->p_Contains(2));

  // A map with its own comparison keeps its own order.
  auto* descending = new DescendingMap;
  for (int key : {3, 9, 1, 7, 5}) EXPECT_TRUE(descending->p_Set(key, new Payload(key)));
  EXPECT_FALSE(descending->p_Set(7, new Payload(70)));
  EXPECT_TRUE(IsRedBlack(descending, 5));
  EXPECT_EQ(InOrderKeys(descending), (std::vector<int>{9, 7, 5, 3, 1}));
  EXPECT_EQ(descending->p_FindNode(7)->m_value->value, 70);
  EXPECT_FALSE(descending->p_Contains(4));
}

TEST(Containers, MapStaysBalancedUnderRandomAndSortedInserts) {
  // Random keys with repeats, checked after every insertion against a reference map.
  std::mt19937 rng(20240607u);
  std::uniform_int_distribution<int> pick(-2500, 2500);
  auto* map = new IntMap<Payload*>;
  std::map<int, int> reference;
  for (int i = 0; i < 4000; ++i) {
    int key = pick(rng);
    bool fresh = reference.find(key) == reference.end();
    reference[key] = i;
    ASSERT_EQ(map->p_Set(key, new Payload(i)), fresh) << "insertion " << i << " key " << key;
    // A lone root is left as inserted; every later insertion runs the fix-up.
    if (fresh && reference.size() > 1) {
      ASSERT_EQ(map->m_root->m_color, 1) << "insertion " << i;
    }
    if (i % 16 == 0 || i == 3999) {
      ASSERT_TRUE(IsRedBlack(map, reference.size())) << "insertion " << i;
    }
  }
  std::vector<int> keys;
  for (auto& [key, value] : reference) {
    keys.push_back(key);
    PNode* node = map->p_FindNode(key);
    ASSERT_NE(node, nullptr) << "key " << key;
    EXPECT_EQ(node->m_value->value, value) << "key " << key;
  }
  EXPECT_EQ(InOrderKeys(map), keys);
  for (int probe = -2600; probe <= 2600; probe += 7)
    EXPECT_EQ(map->p_Contains(probe), reference.count(probe) == 1) << "key " << probe;

  // Sorted runs are the classic worst case for an unbalanced tree.
  for (int n : {7, 1000}) {
    auto* ascending = new IntMap<Payload*>;
    for (int key = 1; key <= n; ++key) {
      ASSERT_TRUE(ascending->p_Set(key, new Payload(key)));
      ASSERT_TRUE(IsRedBlack(ascending, key)) << "ascending to " << key;
    }
    auto* descending = new IntMap<Payload*>;
    for (int key = n; key >= 1; --key) descending->p_Set(key, new Payload(key));
    EXPECT_TRUE(IsRedBlack(descending, n));
    for (int key = 1; key <= n; ++key) {
      EXPECT_TRUE(ascending->p_Contains(key));
      EXPECT_TRUE(descending->p_Contains(key));
    }
    EXPECT_FALSE(ascending->p_Contains(0));
    EXPECT_FALSE(ascending->p_Contains(n + 1));
  }
}

// ============================================================================
// Collection
// ============================================================================

c_StringStack* g_strings;
Stack<Payload*>* g_objects;
IntMap<Payload*>* g_map;

void ForceSweeps() {
  for (int i = 0; i < 2; ++i) {
    gc_ext_malloced(gc_sweep_threshold + 1);
    gc_collect(nullptr);
  }
  gc_flush_free_list();
}

// Every object a rooted container depends on is still on the collector's lists.
::testing::AssertionResult AllLive() {
  if (!gc_is_live_object(g_strings) || !gc_is_live_object(g_strings->m_data.rep))
    return ::testing::AssertionFailure() << "string stack or its storage was collected";
  if (!gc_is_live_object(g_objects) || !gc_is_live_object(g_objects->m_data.rep))
    return ::testing::AssertionFailure() << "object stack or its storage was collected";
  for (int i = 0; i < g_objects->Length(); ++i)
    if (!gc_is_live_object(g_objects->Get(i)))
      return ::testing::AssertionFailure() << "object stack element " << i << " was collected";
  if (!gc_is_live_object(g_map)) return ::testing::AssertionFailure() << "map was collected";
  std::vector<PNode*> pending = {g_map->m_root};
  while (!pending.empty()) {
    PNode* node = pending.back();
    pending.pop_back();
    if (!node) continue;
    if (!gc_is_live_object(node))
      return ::testing::AssertionFailure() << "map node was collected (a key is no longer safe to read)";
    if (!gc_is_live_object(node->m_value))
      return ::testing::AssertionFailure() << "value of key " << node->m_key << " was collected";
    pending.push_back(node->m_left);
    pending.push_back(node->m_right);
  }
  return ::testing::AssertionSuccess();
}

TEST(Containers, ReachableContainersSurviveCollection) {
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

  ForceSweeps();
  ASSERT_TRUE(AllLive());
  // The sweeps did run: nothing refers to this one.
  EXPECT_FALSE(gc_is_live_object(unreachable));

  // Mark everything that is reachable now, then change the containers: each new or moved
  // reference must be caught by the write barrier, or the next sweep frees it.
  gc_mark_queued(INT_MAX);
  for (int key = 0; key < 200; key += 2) EXPECT_FALSE(g_map->p_Set(key * 3, new Payload(-key * 3)));
  for (int key = 1000; key < 1100; ++key) EXPECT_TRUE(g_map->p_Set(key, new Payload(key)));
  // Up to the capacity of 30, so these stores land in the already marked storage.
  ASSERT_EQ(g_objects->m_data.Length(), 30);
  for (int i = 12; i < 30; ++i) g_objects->Push(new Payload(i));
  ASSERT_EQ(g_objects->m_data.Length(), 30);
  for (int i = 40; i < 100; ++i) g_strings->p_Push4(String(i));
  ForceSweeps();
  ASSERT_TRUE(AllLive());

  // Again, now with the object stack growing twice.
  gc_mark_queued(INT_MAX);
  for (int i = 30; i < 80; ++i) g_objects->Push(new Payload(i));
  ForceSweeps();
  ASSERT_TRUE(AllLive());

  ASSERT_EQ(g_strings->p_Length2(), 102);
  EXPECT_EQ(U8(g_strings->p_Get(0)), "alpha");
  EXPECT_EQ(U8(g_strings->p_Get(1)), "beta");
  for (int i = 0; i < 100; ++i) EXPECT_EQ(g_strings->p_Get(i + 2).ToInt(), i);
  ASSERT_EQ(g_objects->Length(), 80);
  for (int i = 0; i < 80; ++i) EXPECT_EQ(g_objects->Get(i)->value, i);
  EXPECT_TRUE(IsRedBlack(g_map, 300));
  for (int key = 0; key < 200; ++key) {
    PNode* node = g_map->p_FindNode(key * 3);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->m_value->value, key % 2 == 0 ? -key * 3 : key * 3);
  }
  for (int key = 1000; key < 1100; ++key) EXPECT_EQ(g_map->p_FindNode(key)->m_value->value, key);

  gc_clear_roots();
  g_strings = nullptr;
  g_objects = nullptr;
  g_map = nullptr;
}

} // namespace
