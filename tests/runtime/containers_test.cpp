// tests/runtime/containers_test.cpp — growable stacks and red-black tree maps.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>

#include "runtime/containers.h"
#include "tests/support/collector.h"

namespace {

struct Payload : Object {
  int value;
  explicit Payload(int v) : value(v) {}
};

// Pushes, then lengths set: the elements in use, and no slot past them keeps its text (the
// collector would hold it).
TEST(Containers, StackGrowsChangesLengthAndCopies) {
  const std::tuple<int, std::vector<int>, std::string> cases[] = {
      {31, {}, "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30"},
      {5, {3, 5}, "0,1,2,,"},
      {10, {4}, "0,1,2,3"},
      {5, {11}, "0,1,2,3,4,,,,,,"},
      {5, {40}, "0,1,2,3,4" + std::string(35, ',')},
      {3, {-1}, ""},
      {0, {4}, ",,,"}};
  for (auto& [pushed, lengths, joined] : cases) {
    c_StringStack* s = (new c_StringStack)->m_new(Array<String>());
    for (int i = 0; i < pushed; ++i) s->p_Push4(String(i));
    for (int n : lengths) s->p_Length(n);
    int kept = 0; // slots past the length still holding text
    for (int i = s->p_Length2(); i < s->m_data.Length(); ++i) kept += s->m_data[i].Length() != 0;
    EXPECT_EQ(s->p_Join(String(",")).ToUtf8(), joined) << pushed;
    EXPECT_EQ(kept, 0) << pushed << ": dropped slots keeping their text";
  }
  Array<String> src = String("p,x,y,z,t").Split(String(","));
  c_StringStack* s = (new c_StringStack)->m_new(src); // a copy: later changes to src do not show
  src[1] = String("X");
  s->p_Push5(src, 1, 3), s->p_Push6(src, 4), s->p_Push5(src, 0, 0);
  EXPECT_EQ(s->p_Join(String("")).ToUtf8(), "pxyztXyzt");
  s->p_Clear();
  EXPECT_EQ(s->p_ToArray().rep, &Array<String>::nullRep);
  EXPECT_EQ(s->m_data[8].Length(), 0) << "a cleared slot keeps its text";
  auto* objects = new Stack<Payload*>;
  objects->Push(new Payload(2));
  EXPECT_TRUE(objects->ContainsIdentical(objects->Get(0)));
  EXPECT_FALSE(objects->ContainsIdentical(new Payload(2)));
  EXPECT_FALSE(objects->ContainsIdentical(nullptr));
}

// Black height of a red-black subtree with keys in (lo, hi) and the right parent links; -1 if not.
int BlackHeight(MapNode<Payload*>* n, MapNode<Payload*>* parent, long lo, long hi) {
  if (!n) return 1;
  bool red = n->m_color == -1,
       red_child = (n->m_left && n->m_left->m_color == -1) || (n->m_right && n->m_right->m_color == -1);
  int l = BlackHeight(n->m_left, n, lo, n->m_key), r = BlackHeight(n->m_right, n, n->m_key, hi);
  bool ok = n->m_parent == parent && n->m_key > lo && n->m_key < hi && (red || n->m_color == 1);
  return ok && !(red && red_child) && l > 0 && l == r ? l + !red : -1;
}

IntMap<Payload*>* g_map;

// A sorted run, random keys and keys at both ends of the int range against std::map; the nodes
// and values stored after the map was marked survive the next sweeps.
TEST(Containers, MapMatchesAReferenceAndSurvivesCollection) {
  gc_clear_roots(), gc_root(g_map), gc_assign(g_map, new IntMap<Payload*>);
  std::mt19937 rng(20240607u);
  std::map<int, int> reference;
  for (int i = 0; i < 3000; ++i) {
    int key = i < 1000 ? i : static_cast<int>(rng() % 5001) - 2500;
    if (i % 500 == 0) key = (i / 500 % 2) ? INT_MAX - i : INT_MIN + i;
    bool fresh = reference.count(key) == 0;
    reference[key] = i;
    ASSERT_EQ(g_map->p_Set(key, new Payload(i)), fresh) << i;
    ASSERT_TRUE(i % 64 || BlackHeight(g_map->m_root, nullptr, LONG_MIN, LONG_MAX) > 0) << i;
    if (i == 1500) CollectFully(), gc_mark_queued(INT_MAX);
  }
  CollectFully();
  for (int probe = -2600; probe <= 2600; ++probe) {
    MapNode<Payload*>* node = g_map->p_FindNode(probe);
    ASSERT_TRUE(!node || gc_is_live_object(node->m_value)) << probe;
    ASSERT_EQ(node ? node->m_value->value : -1, reference.count(probe) ? reference[probe] : -1) << probe;
  }
  EXPECT_TRUE(g_map->p_Contains(INT_MIN + 1000));
  EXPECT_FALSE(g_map->p_Insert(7, nullptr)) << "7 is there already";
  EXPECT_EQ(g_map->p_FindNode(7)->m_value, nullptr); // replaced in place
  gc_clear_roots();
}

} // namespace
