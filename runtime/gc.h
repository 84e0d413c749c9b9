// runtime/gc.h — collected objects and the incremental mark-and-sweep collector.
// Depends on: nothing but the C++ standard library.
//
// Every collected object starts with the collector's header (vtable, list links, flags).
// Objects are allocated white on the unmarked list, reached objects are queued and then
// marked, and at a sweep everything still white moves to the free list, where later
// allocations destroy it. Reachability comes from the registered roots, the extra root
// passed to each collection step, and the write barrier `gc_assign`.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>
#include <type_traits>

class String;
template <class T> class Array;

// ============================================================================
// [SECTION] Header and base classes
// ============================================================================

// Tag for the static objects (list sentinels, empty array bodies) that the
// allocator never sees.
struct gc_static_t {};
constexpr gc_static_t gc_static{};

class gc_object {
public:
  gc_object* succ;
  gc_object* pred;
  int flags; // bits 3..31 size in bytes, bits 0..1 colour

  gc_object();
  constexpr gc_object(gc_static_t, int colour) : succ(this), pred(this), flags(colour) {}
  gc_object(const gc_object&) = delete;
  gc_object& operator=(const gc_object&) = delete;
  virtual ~gc_object() {}
  virtual void mark() {}

  int gc_size() const { return flags & ~7; }

  static void* operator new(std::size_t size);
  static void* operator new(std::size_t, void* where) { return where; }
  // Collected objects are never deleted: only a constructor that throws ends up here.
  static void operator delete(void* p);
  static void operator delete(void*, void*) {}
};

class String;

class Object : public gc_object {
public:
  virtual bool Equals(Object* other) { return this == other; }
  // Orders objects by address: -1, 0 or 1.
  virtual int Compare(Object* other);
  virtual String debug();
};

class gc_interface {
public:
  virtual ~gc_interface() {}
};

// ============================================================================
// [SECTION] Collector state
// ============================================================================

extern int gc_markbit;
extern gc_object gc_free_list;
extern gc_object gc_marked_list;
extern gc_object gc_unmarked_list;
extern gc_object gc_queued_list;

extern int gc_alloced_bytes;
extern int gc_max_alloced_bytes;
extern int gc_new_bytes;
extern int gc_marked_bytes;
extern int gc_free_bytes;
extern std::atomic<int> gc_ext_new_bytes;

constexpr int gc_cache_classes = 8; // block sizes 0, 8, ... 56
// Free blocks of each size class, handed out lowest address first, so that the blocks a sweep
// frees are reused in address order whatever order their objects die in. gc_cache[c] is a
// queue in ascending address order, singly linked through the first word, ending at
// gc_cache_tail[c] (meaningful while gc_cache[c] is not null); a block returned below the
// tail waits in a side heap of the class instead (gc.cpp).
extern void* gc_cache[gc_cache_classes];
extern void* gc_cache_tail[gc_cache_classes];
constexpr int gc_sweep_threshold = 8 * 1024 * 1024;

// ============================================================================
// [SECTION] Allocation
// ============================================================================

// Rounds size up to 8, destroys dead objects worth at least that many bytes and
// returns a block. The object's constructor (gc_object()) links it as white.
void* gc_object_alloc(int size);
// The same, with the block's bytes all zero.
void* gc_object_alloc_zeroed(int size);
// The block the next allocation of `size` bytes would reuse, or null when it would malloc.
void* gc_cache_next(int size);
// Destroys a dead object taken from the free list and returns its memory.
void gc_object_free(gc_object* object);
// Reports heap memory taken outside the collector (safe from any thread).
void gc_ext_malloced(int bytes);

// ============================================================================
// [SECTION] Marking and the write barrier
// ============================================================================

inline bool gc_is_white(const gc_object* p) { return (p->flags & 3) == gc_markbit; }

void gc_move_to_queued(gc_object* p);
void gc_move_to_marked(gc_object* p);

// Queues a white object (roots and the write barrier).
inline void gc_mark_q_object(gc_object* p) {
  if (p && gc_is_white(p)) {
    p->flags ^= 1;
    gc_move_to_queued(p);
  }
}
// Marks a white object at once and runs its mark().
inline void gc_mark_object(gc_object* p) {
  if (p && gc_is_white(p)) {
    p->flags ^= 1;
    gc_move_to_marked(p);
  }
}
// An interface reference is marked through the object that implements it.
inline gc_object* gc_object_of(gc_interface* p) { return p ? dynamic_cast<gc_object*>(p) : nullptr; }

template <class T> inline void gc_mark_q(T* p) {
  if constexpr (std::is_base_of<gc_object, T>::value)
    gc_mark_q_object(p);
  else
    gc_mark_q_object(gc_object_of(p));
}
template <class T> inline void gc_mark(T* p) {
  if constexpr (std::is_base_of<gc_object, T>::value)
    gc_mark_object(p);
  else
    gc_mark_object(gc_object_of(p));
}

// Plain values need no marking; these let one template serve every field type.
inline void gc_mark_q(std::nullptr_t) {}
inline void gc_mark_q(const String&) {}
inline void gc_mark_q(int) {}
inline void gc_mark_q(float) {}
inline void gc_mark_q(bool) {}

// The write barrier: every store of an object reference into a field, global or
// array element goes through it.
template <class T, class V> inline void gc_assign(T& field, V value) {
  gc_mark_q(value);
  field = value;
}

void gc_mark_queued(int limit);

// ============================================================================
// [SECTION] Roots and collection
// ============================================================================

using gc_root_marker = void (*)(void* global);

// Registers a global whose referent is queued at the start of every cycle. Layers
// register their globals during start-up in the order the roots must be queued.
void gc_add_root(void* global, gc_root_marker marker);
template <class T> void gc_root(T& global) {
  gc_add_root(&global, [](void* g) { gc_mark_q(*static_cast<T*>(g)); });
}
void gc_clear_roots();

void gc_init1(); // empty lists, no roots
void gc_init2(); // queue the roots once
void gc_mark();  // queue every root

// One collection step, run after every call into the application. `extra_root` (the
// host's delegate) is marked at once.
void gc_collect(gc_object* extra_root);
// Finishes the cycle and sweeps without looking at the threshold.
void gc_collect_all();
// Destroys every object waiting on the free list (normally left to later allocations).
void gc_flush_free_list();

// Checks the links of a list; on damage prints message and "LIST ERROR!" and exits -1.
void gc_validate_list(gc_object* list, const char* message);
// True when p is a live collected object (on the unmarked, queued or marked list).
bool gc_is_live_object(const void* p);
