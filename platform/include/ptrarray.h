#pragma once
// A growable array of pointers: removal by index (keeping order or swapping
// in the last element), sorting and binary search through a caller's
// comparison. With a delete callback set the array owns its elements.
#include <cstdint>

// Compares two elements (or, for search, the key and an element); only the
// sign of the result counts.
using PTRARRAY_COMPARE = int (*)(const void* a, const void* b, intptr_t user);
using PTRARRAY_DELETE_CALLBACK = void (*)(void* element, intptr_t word);

class PTRARRAY {
public:
  // Grow step and initial size are clamped to 0..1024; a grow step of 0
  // grows by one slot.
  explicit PTRARRAY(int32_t grow_step = 10, int32_t initial_size = 10);
  virtual ~PTRARRAY();
  PTRARRAY(const PTRARRAY&) = delete;
  PTRARRAY& operator=(const PTRARRAY&) = delete;

  // Hands element index to the delete callback, when one is set.
  virtual void delete_item(int32_t index);

  bool add(void* pointer);
  bool remove_at(int32_t index);    // later elements move down
  bool remove_swap(int32_t index);  // the last element fills the hole
  void clear();                     // deletes elements, keeps storage
  void remove_all();                // deletes elements, frees storage

  void sort(PTRARRAY_COMPARE compare, intptr_t user);
  // Index of an element that compares equal to key, or -1; the array must
  // be sorted by the same comparison.
  int32_t search(const void* key, PTRARRAY_COMPARE compare, intptr_t user) const;

  void** data = nullptr;  // elements 0 .. count-1
  int32_t capacity = 0;
  int32_t count = 0;
  int16_t grow_step = 0;
  int32_t initial_size = 0;
  PTRARRAY_DELETE_CALLBACK delete_callback = nullptr;
};
