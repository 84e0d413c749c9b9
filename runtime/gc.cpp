// runtime/gc.cpp — the collector: allocator, size-class cache, lists, marking, sweeping, roots.
// Depends on: gc.h, string.h (Object::debug), errors.h (nothing else).
#include "gc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "string.h"

// ============================================================================
// [SECTION] State
// ============================================================================

int gc_markbit = 1;
gc_object gc_free_list(gc_static, 0);
gc_object gc_marked_list(gc_static, 0);
gc_object gc_unmarked_list(gc_static, 0);
gc_object gc_queued_list(gc_static, 0);

int gc_alloced_bytes;
int gc_max_alloced_bytes;
int gc_new_bytes;
int gc_marked_bytes;
int gc_free_bytes;
std::atomic<int> gc_ext_new_bytes{0};

void* gc_cache[gc_cache_classes];
void* gc_cache_tail[gc_cache_classes];

namespace {

// Blocks handed out by gc_object_alloc whose object is not constructed yet, with their sizes.
// A new-expression allocates before it evaluates the constructor's arguments, so in
// `new Outer(new Inner)` Inner is allocated and constructed between Outer's allocation and
// its construction: each constructor finds its own block here by address.
struct PendingBlock {
  void* block;
  int size;
};
constexpr int kPendingMax = 64; // new-expressions nested in one another's arguments
PendingBlock pending[kPendingMax];
int pending_count;

// Removes the pending entry of `block`; its size, or -1 when it is not pending.
int take_pending(void* block) {
  for (int i = pending_count - 1; i >= 0; --i) {
    if (pending[i].block != block) continue;
    int size = pending[i].size;
    for (int j = i; j + 1 < pending_count; ++j) pending[j] = pending[j + 1];
    --pending_count;
    return size;
  }
  return -1;
}

struct Root {
  void* global;
  gc_root_marker marker;
};
std::vector<Root>& roots() {
  static std::vector<Root> list;
  return list;
}

inline void unlink(gc_object* p) {
  p->pred->succ = p->succ;
  p->succ->pred = p->pred;
}

inline void append(gc_object* list, gc_object* p) {
  p->succ = list;
  p->pred = list->pred;
  list->pred->succ = p;
  list->pred = p;
}

// ----------------------------------------------------------------------------
// The size-class caches. Dead objects are destroyed in free list order, which is roughly the
// order their cycle marked them in, not address order; if blocks were reused in the order
// they came back, the reuse order would drift a little further from address order at every
// sweep until allocation missed the cache everywhere. So a class hands out the lowest
// address it holds: blocks that come back above the tail (the usual case, the free list
// being mostly in order) join the queue in O(1), the others wait in a binary min-heap of
// addresses, and allocation takes the lower of the two fronts.

inline bool below(const void* a, const void* b) {
  return reinterpret_cast<std::uintptr_t>(a) < reinterpret_cast<std::uintptr_t>(b);
}

inline void*& next_block(void* block) { return *static_cast<void**>(block); }

// Plain data, so that it is usable before any constructor has run.
struct BlockHeap {
  void** at;
  int count;
  int capacity;
};
BlockHeap out_of_order[gc_cache_classes];

// False when the heap cannot grow.
bool heap_push(BlockHeap& h, void* block) {
  if (h.count == h.capacity) {
    int capacity = h.capacity ? h.capacity * 2 : 64;
    void** grown = static_cast<void**>(std::realloc(h.at, sizeof(void*) * capacity));
    if (!grown) return false;
    h.at = grown;
    h.capacity = capacity;
  }
  int i = h.count++;
  while (i > 0 && below(block, h.at[(i - 1) / 2])) {
    h.at[i] = h.at[(i - 1) / 2];
    i = (i - 1) / 2;
  }
  h.at[i] = block;
  return true;
}

void* heap_pop(BlockHeap& h) {
  void* top = h.at[0];
  void* last = h.at[--h.count];
  int i = 0;
  for (int child = 1; child < h.count; child = 2 * i + 1) {
    if (child + 1 < h.count && below(h.at[child + 1], h.at[child])) ++child;
    if (!below(h.at[child], last)) break;
    h.at[i] = h.at[child];
    i = child;
  }
  h.at[i] = last;
  return top;
}

// The lowest block of class c, or null when the class is empty.
inline void* take_block(int c) {
  void* head = gc_cache[c];
  BlockHeap& h = out_of_order[c];
  if (h.count && (!head || below(h.at[0], head))) return heap_pop(h);
  if (head) gc_cache[c] = next_block(head);
  return head;
}

// Returns a block to its size-class cache, or to the heap when it is 64 bytes or more.
inline void release_block(void* p, int size) {
  if (size >= gc_cache_classes * 8) {
    std::free(p);
    return;
  }
  int c = size / 8;
  if (!gc_cache[c]) {
    next_block(p) = nullptr;
    gc_cache[c] = gc_cache_tail[c] = p;
  } else if (below(gc_cache_tail[c], p)) {
    next_block(p) = nullptr;
    next_block(gc_cache_tail[c]) = p;
    gc_cache_tail[c] = p;
  } else if (below(p, gc_cache[c])) {
    next_block(p) = gc_cache[c];
    gc_cache[c] = p;
  } else if (!heap_push(out_of_order[c], p)) {
    std::free(p);
  }
}

inline bool list_empty(const gc_object* list) { return list->succ == list; }

inline void clear_list(gc_object* list) { list->succ = list->pred = list; }

// Moves every node of `from` to the tail of `to`; `from` ends empty.
void splice_all(gc_object* from, gc_object* to) {
  if (list_empty(from)) return;
  gc_object* first = from->succ;
  gc_object* last = from->pred;
  first->pred = to->pred;
  to->pred->succ = first;
  last->succ = to;
  to->pred = last;
  clear_list(from);
}

} // namespace

// ============================================================================
// [SECTION] Objects
// ============================================================================

gc_object::gc_object() {
  int size = take_pending(this);
  flags = (size > 0 ? size : 0) | gc_markbit;
  append(&gc_unmarked_list, this);
  gc_alloced_bytes += flags & ~7;
  if (gc_alloced_bytes > gc_max_alloced_bytes) gc_max_alloced_bytes = gc_alloced_bytes;
}

void* gc_object::operator new(std::size_t size) { return gc_object_alloc(static_cast<int>(size)); }

void gc_object::operator delete(void* p) {
  // Only reached when the initialisation threw. Before the gc_object part was constructed
  // (an argument threw) the block is still pending; after it, the object is linked.
  int unconstructed = take_pending(p);
  if (unconstructed >= 0) {
    release_block(p, unconstructed);
    return;
  }
  gc_object* o = static_cast<gc_object*>(p);
  int size = o->flags & ~7;
  unlink(o);
  gc_alloced_bytes -= size;
  release_block(p, size);
}

int Object::Compare(Object* other) {
  auto a = reinterpret_cast<std::uintptr_t>(this);
  auto b = reinterpret_cast<std::uintptr_t>(other);
  return a < b ? -1 : (a > b ? 1 : 0);
}

String Object::debug() { return String("+Object\n"); }

// ============================================================================
// [SECTION] Allocation
// ============================================================================

namespace {

void* alloc_block(int size, bool zeroed) {
  size = (size + 7) & ~7;
  gc_new_bytes += size;

  int floor = gc_free_bytes - size;
  if (floor < 0) floor = 0;
  while (gc_free_bytes > floor && !list_empty(&gc_free_list)) {
    gc_object* dead = gc_free_list.succ;
    unlink(dead);
    gc_object_free(dead);
  }

  void* block = size < gc_cache_classes * 8 ? take_block(size / 8) : nullptr;
  if (block) {
    if (zeroed) std::memset(block, 0, static_cast<std::size_t>(size));
  } else {
    // calloc hands out fresh pages untouched: a large array costs memory only as it is used.
    block = zeroed ? std::calloc(1, static_cast<std::size_t>(size)) : std::malloc(size);
    if (!block) {
      std::fputs("Out of memory\n", stdout);
      std::fflush(stdout);
      std::abort();
    }
  }
  if (pending_count < kPendingMax) pending[pending_count++] = {block, size};
  return block;
}

} // namespace

void* gc_object_alloc(int size) { return alloc_block(size, false); }

void* gc_object_alloc_zeroed(int size) { return alloc_block(size, true); }

void* gc_cache_next(int size) {
  size = (size + 7) & ~7;
  if (size >= gc_cache_classes * 8) return nullptr;
  void* head = gc_cache[size / 8];
  const BlockHeap& h = out_of_order[size / 8];
  return h.count && (!head || below(h.at[0], head)) ? h.at[0] : head;
}

void gc_object_free(gc_object* object) {
  int size = object->flags & ~7;
  object->~gc_object();
  gc_free_bytes -= size;
  release_block(object, size);
}

void gc_ext_malloced(int bytes) { gc_ext_new_bytes.fetch_add(bytes, std::memory_order_relaxed); }

// ============================================================================
// [SECTION] Marking
// ============================================================================

void gc_move_to_queued(gc_object* p) {
  unlink(p);
  append(&gc_queued_list, p);
}

void gc_move_to_marked(gc_object* p) {
  unlink(p);
  append(&gc_marked_list, p);
  gc_marked_bytes += p->flags & ~7;
  p->mark();
}

void gc_mark_queued(int limit) {
  while (gc_marked_bytes < limit && !list_empty(&gc_queued_list)) {
    gc_object* p = gc_queued_list.succ;
    unlink(p);
    append(&gc_marked_list, p);
    gc_marked_bytes += p->flags & ~7;
    p->mark();
  }
}

// ============================================================================
// [SECTION] Roots and collection
// ============================================================================

void gc_add_root(void* global, gc_root_marker marker) { roots().push_back({global, marker}); }

void gc_clear_roots() { roots().clear(); }

void gc_mark() {
  for (const Root& r : roots()) r.marker(r.global);
}

void gc_init1() {
  clear_list(&gc_free_list);
  clear_list(&gc_marked_list);
  clear_list(&gc_unmarked_list);
  clear_list(&gc_queued_list);
  gc_clear_roots();
}

void gc_init2() { gc_mark(); }

namespace {

void finish_cycle() {
  gc_mark_queued(0x7fffffff);
  if (gc_alloced_bytes != gc_marked_bytes) {
    splice_all(&gc_unmarked_list, &gc_free_list);
    gc_free_bytes += gc_alloced_bytes - gc_marked_bytes;
  }
  splice_all(&gc_marked_list, &gc_unmarked_list);
  gc_alloced_bytes = gc_marked_bytes;
  gc_marked_bytes = 0;
  gc_markbit ^= 1;
  gc_mark();
}

} // namespace

void gc_collect(gc_object* extra_root) {
  gc_mark_object(extra_root);
  int ext = gc_ext_new_bytes.load(std::memory_order_relaxed);
  // Summed in 64 bits: a large external report must not wrap below the threshold.
  if (static_cast<long long>(gc_new_bytes) + ext > gc_sweep_threshold) {
    gc_ext_new_bytes.fetch_sub(ext, std::memory_order_relaxed);
    finish_cycle();
    gc_new_bytes = 0;
  } else {
    long long live = static_cast<long long>(gc_alloced_bytes) - gc_new_bytes;
    long long target = gc_new_bytes + live * gc_new_bytes / gc_sweep_threshold;
    if (target > 0x7fffffff) target = 0x7fffffff;
    gc_mark_queued(static_cast<int>(target));
  }
}

void gc_collect_all() { finish_cycle(); }

void gc_flush_free_list() {
  while (!list_empty(&gc_free_list)) {
    gc_object* dead = gc_free_list.succ;
    unlink(dead);
    gc_object_free(dead);
  }
}

// ============================================================================
// [SECTION] Checks
// ============================================================================

void gc_validate_list(gc_object* list, const char* message) {
  gc_object* node = list;
  // Every step checks the back link, so a walk cannot loop without meeting the head.
  do {
    gc_object* next = node->succ;
    if (!next || next->pred != node) {
      if (message) {
        std::fputs(message, stdout);
        std::fflush(stdout);
      }
      std::fputs("LIST ERROR!\n", stdout);
      std::fflush(stdout);
      std::exit(-1);
    }
    node = next;
  } while (node != list);
}

bool gc_is_live_object(const void* p) {
  if (!p) return false;
  for (gc_object* list : {&gc_unmarked_list, &gc_queued_list, &gc_marked_list}) {
    for (gc_object* o = list->succ; o != list; o = o->succ)
      if (o == p) return true;
  }
  return false;
}
