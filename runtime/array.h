// runtime/array.h — Array<T>: a fixed-length array whose body is a collected object.
// Depends on: gc.h, string.h.
//
// Each element type has one static empty body of colour 3, which the collector never
// queues, marks or frees; every empty array points at it. Indexing is not checked.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "gc.h"
#include "string.h"

template <class T> class Array {
public:
  class Rep : public gc_object {
  public:
    int length;

    explicit Rep(int n);
    constexpr Rep(gc_static_t) : gc_object(gc_static, 3), length(0) {}
    ~Rep() override;
    void mark() override;

    T* data() { return reinterpret_cast<T*>(reinterpret_cast<char*>(this) + data_offset()); }
    static constexpr std::size_t data_offset() {
      return (sizeof(Rep) + alignof(T) - 1) / alignof(T) * alignof(T);
    }
  };
  static Rep nullRep;

  Array() : rep(&nullRep) {}
  explicit Array(int length);
  Array(const T* p, int length);

  int Length() const { return rep->length; }
  T& operator[](int i) { return rep->data()[i]; }
  const T& operator[](int i) const { return rep->data()[i]; }
  T* begin() { return rep->data(); }
  T* end() { return rep->data() + rep->length; }
  const T* begin() const { return rep->data(); }
  const T* end() const { return rep->data() + rep->length; }

  bool operator==(const Array& a) const { return rep == a.rep; }
  bool operator!=(const Array& a) const { return rep != a.rep; }

  Rep* rep;

private:
  static Rep* make(int length);
};

template <class T> typename Array<T>::Rep Array<T>::nullRep{gc_static};

// ============================================================================
// [SECTION] Marking: arrays of object references mark their elements at once
// ============================================================================

template <class T> inline void gc_mark_q(const Array<T>& a) { gc_mark_q_object(a.rep); }
template <class T> inline void gc_mark(const Array<T>& a) { gc_mark_object(a.rep); }

template <class T> struct is_array_value : std::false_type {};
template <class T> struct is_array_value<Array<T>> : std::true_type {};

template <class T> void Array<T>::Rep::mark() {
  if constexpr (std::is_pointer<T>::value || is_array_value<T>::value) {
    T* d = data();
    for (int i = 0; i < length; ++i) gc_mark(d[i]);
  }
}

// ============================================================================
// [SECTION] Bodies
// ============================================================================

// Elements of plain types are zero already: make() takes a zeroed block for them.
template <class T> Array<T>::Rep::Rep(int n) : length(n) {
  if constexpr (std::is_same<T, String>::value || is_array_value<T>::value) {
    T* d = data();
    for (int i = 0; i < n; ++i) new (d + i) T();
  }
}

template <class T> Array<T>::Rep::~Rep() {
  if constexpr (std::is_same<T, String>::value) {
    T* d = data();
    for (int i = 0; i < length; ++i) d[i].~String();
  }
}

template <class T> typename Array<T>::Rep* Array<T>::make(int length) {
  if (length <= 0) return &nullRep;
  std::size_t bytes = Rep::data_offset() + sizeof(T) * static_cast<std::size_t>(length);
  if (bytes > 0x7ffffff0u) {
    std::fputs("Array too large\n", stdout);
    std::fflush(stdout);
    std::abort();
  }
  constexpr bool plain = !std::is_same<T, String>::value && !is_array_value<T>::value;
  void* block =
      plain ? gc_object_alloc_zeroed(static_cast<int>(bytes)) : gc_object_alloc(static_cast<int>(bytes));
  return new (block) Rep(length);
}

template <class T> Array<T>::Array(int length) : rep(make(length)) {}

template <class T> Array<T>::Array(const T* p, int length) : rep(make(length)) {
  T* d = rep->data();
  for (int i = 0; i < rep->length; ++i) d[i] = p[i];
}

// Raw storage helpers for strings kept outside an Array.
inline void t_create(int n, String* p) {
  for (int i = 0; i < n; ++i) new (p + i) String();
}
inline void t_create(int n, String* p, const String* src) {
  for (int i = 0; i < n; ++i) new (p + i) String(src[i]);
}
inline void t_destroy(int n, String* p) {
  for (int i = 0; i < n; ++i) p[i].~String();
}
