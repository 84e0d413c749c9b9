// runtime/containers.h — collected growable stacks and int-keyed red-black tree maps.
// Depends on: gc.h, string.h, array.h.
//
// `Stack<T>` and `Map<V>` hold the logic once; the named classes give each use its
// own member names. The string stacks live here; the display-mode stack and map are
// declared by the application framework, the event-source stack by the network layer.
#pragma once

#include <type_traits>

#include "array.h"
#include "gc.h"
#include "string.h"

// ============================================================================
// [SECTION] Stack
// ============================================================================

template <class T> class Stack : public Object {
public:
  Array<T> m_data;
  int m_length = 0;

  void mark() override { gc_mark_q(m_data); }

  void Push(T v) {
    if (m_length == m_data.Length()) Grow(m_length * 2 + 10);
    Store(m_data[m_length], v);
    ++m_length;
  }
  void Push(const Array<T>& a, int offset, int count) {
    for (int i = 0; i < count; ++i) Push(a[offset + i]);
  }
  void Push(const Array<T>& a, int offset) { Push(a, offset, a.Length() - offset); }

  // A copy of the array's elements.
  void Assign(const Array<T>& a) {
    gc_assign(m_data, Array<T>(a.begin(), a.Length()));
    m_length = a.Length();
  }
  Array<T> ToArray() const { return Array<T>(m_data.begin(), m_length); }
  void Clear() {
    for (int i = 0; i < m_length; ++i) m_data[i] = T();
    m_length = 0;
  }
  int Length() const { return m_length; }
  // A negative length empties the stack.
  void SetLength(int n) {
    if (n < 0) n = 0;
    if (n < m_length) {
      for (int i = n; i < m_length; ++i) m_data[i] = T();
    } else if (n > m_data.Length()) {
      int grown = m_length * 2 + 10;
      Grow(n > grown ? n : grown);
    }
    m_length = n;
  }
  T Get(int i) const { return m_data[i]; }
  bool ContainsIdentical(T v) const {
    for (int i = 0; i < m_length; ++i)
      if (m_data[i] == v) return true;
    return false;
  }

private:
  static void Store(T& slot, T v) {
    if constexpr (std::is_pointer<T>::value)
      gc_assign(slot, v);
    else
      slot = v;
  }
  void Grow(int capacity) {
    Array<T> bigger(capacity);
    for (int i = 0; i < m_length; ++i) bigger[i] = m_data[i];
    gc_assign(m_data, bigger);
  }
};

// Stack of strings; empty slots hold the empty string.
class c_Stack2 : public Stack<String> {
public:
  static String m_NIL;

  c_Stack2* m_new() { return this; }
  c_Stack2* m_new2(const Array<String>& a) {
    Assign(a);
    return this;
  }
  void p_Push4(const String& v) { Push(v); }
  void p_Push5(const Array<String>& a, int offset, int count) { Push(a, offset, count); }
  void p_Push6(const Array<String>& a, int offset) { Push(a, offset); }
  Array<String> p_ToArray() const { return ToArray(); }
  void p_Clear() { Clear(); }
  void p_Length(int n) { SetLength(n); }
  int p_Length2() const { return Length(); }
  String p_Get(int i) const { return Get(i); }
};

class c_StringStack : public c_Stack2 {
public:
  c_StringStack* m_new(const Array<String>& a) {
    m_new2(a);
    return this;
  }
  String p_Join(const String& separator) const { return separator.Join(ToArray()); }
};

// ============================================================================
// [SECTION] Map: red-black tree with int keys
// ============================================================================

template <class V> class MapNode : public Object {
public:
  int m_key = 0;
  MapNode* m_right = nullptr;
  MapNode* m_left = nullptr;
  V m_value{};
  int m_color = 0; // -1 red, 1 black
  MapNode* m_parent = nullptr;

  MapNode* m_new(int key, V value, int color, MapNode* parent) {
    m_key = key;
    gc_assign(m_value, value);
    m_color = color;
    gc_assign(m_parent, parent);
    return this;
  }
  void mark() override {
    gc_mark_q(m_right);
    gc_mark_q(m_left);
    gc_mark_q(m_value);
    gc_mark_q(m_parent);
  }
};

template <class V> class Map : public Object {
public:
  using Node = MapNode<V>;
  Node* m_root = nullptr;

  virtual int p_Compare(int a, int b) = 0;
  void mark() override { gc_mark_q(m_root); }

  Node* p_FindNode(int key) {
    Node* node = m_root;
    while (node) {
      int cmp = p_Compare(key, node->m_key);
      if (cmp > 0)
        node = node->m_right;
      else if (cmp < 0)
        node = node->m_left;
      else
        return node;
    }
    return nullptr;
  }
  bool p_Contains(int key) { return p_FindNode(key) != nullptr; }

  // Inserts or replaces; true when a new node was made.
  bool p_Set(int key, V value) {
    Node* node = m_root;
    Node* parent = nullptr;
    int cmp = 0;
    while (node) {
      parent = node;
      cmp = p_Compare(key, node->m_key);
      if (cmp > 0)
        node = node->m_right;
      else if (cmp < 0)
        node = node->m_left;
      else {
        gc_assign(node->m_value, value);
        return false;
      }
    }
    node = (new Node)->m_new(key, value, -1, parent);
    if (!parent) {
      gc_assign(m_root, node);
      return true;
    }
    if (cmp > 0)
      gc_assign(parent->m_right, node);
    else
      gc_assign(parent->m_left, node);
    p_InsertFixup(node);
    return true;
  }
  bool p_Insert(int key, V value) { return p_Set(key, value); }

  void p_RotateLeft(Node* node) {
    Node* child = node->m_right;
    gc_assign(node->m_right, child->m_left);
    if (child->m_left) gc_assign(child->m_left->m_parent, node);
    gc_assign(child->m_parent, node->m_parent);
    if (!node->m_parent)
      gc_assign(m_root, child);
    else if (node == node->m_parent->m_left)
      gc_assign(node->m_parent->m_left, child);
    else
      gc_assign(node->m_parent->m_right, child);
    gc_assign(child->m_left, node);
    gc_assign(node->m_parent, child);
  }

  void p_RotateRight(Node* node) {
    Node* child = node->m_left;
    gc_assign(node->m_left, child->m_right);
    if (child->m_right) gc_assign(child->m_right->m_parent, node);
    gc_assign(child->m_parent, node->m_parent);
    if (!node->m_parent)
      gc_assign(m_root, child);
    else if (node == node->m_parent->m_right)
      gc_assign(node->m_parent->m_right, child);
    else
      gc_assign(node->m_parent->m_left, child);
    gc_assign(child->m_right, node);
    gc_assign(node->m_parent, child);
  }

  void p_InsertFixup(Node* node) {
    while (node->m_parent && node->m_parent->m_color == -1 && node->m_parent->m_parent) {
      Node* parent = node->m_parent;
      Node* grand = parent->m_parent;
      if (parent == grand->m_left) {
        Node* uncle = grand->m_right;
        if (uncle && uncle->m_color == -1) {
          parent->m_color = 1;
          uncle->m_color = 1;
          grand->m_color = -1;
          node = grand;
          continue;
        }
        if (node == parent->m_right) {
          node = parent;
          p_RotateLeft(node);
        }
        node->m_parent->m_color = 1;
        node->m_parent->m_parent->m_color = -1;
        p_RotateRight(node->m_parent->m_parent);
      } else {
        Node* uncle = grand->m_left;
        if (uncle && uncle->m_color == -1) {
          parent->m_color = 1;
          uncle->m_color = 1;
          grand->m_color = -1;
          node = grand;
          continue;
        }
        if (node == parent->m_left) {
          node = parent;
          p_RotateRight(node);
        }
        node->m_parent->m_color = 1;
        node->m_parent->m_parent->m_color = -1;
        p_RotateLeft(node->m_parent->m_parent);
      }
    }
    m_root->m_color = 1;
  }
};

// Int keys in ascending order. Compares by sign, so keys far apart cannot overflow.
template <class V> class IntMap : public Map<V> {
public:
  int p_Compare(int a, int b) override { return a < b ? -1 : (a > b ? 1 : 0); }
};
