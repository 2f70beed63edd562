#include "ptrarray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
int32_t clamp_size(int32_t v) { return v < 0 ? 0 : (v > 1024 ? 1024 : v); }
}  // namespace

PTRARRAY::PTRARRAY(int32_t grow, int32_t initial)
    : grow_step(static_cast<int16_t>(clamp_size(grow))), initial_size(clamp_size(initial)) {}

PTRARRAY::~PTRARRAY() { remove_all(); }

void PTRARRAY::delete_item(int32_t index) {
  if (delete_callback && index >= 0 && index < count) delete_callback(data[index], 0);
}

bool PTRARRAY::add(void* pointer) {
  if (count == capacity) {
    int32_t step = grow_step > 0 ? grow_step : 1;
    int32_t new_capacity = data ? capacity + step
                                : std::max<int32_t>(std::max<int32_t>(step, initial_size), 1) + capacity;
    void* grown = realloc(data, static_cast<size_t>(new_capacity) * sizeof(void*));
    if (!grown) return false;
    data = static_cast<void**>(grown);
    memset(data + capacity, 0, static_cast<size_t>(new_capacity - capacity) * sizeof(void*));
    capacity = new_capacity;
  }
  data[count++] = pointer;
  return true;
}

bool PTRARRAY::remove_at(int32_t index) {
  if (index < 0 || index >= count) return false;
  delete_item(index);
  memmove(data + index, data + index + 1, static_cast<size_t>(count - index - 1) * sizeof(void*));
  data[--count] = nullptr;
  return true;
}

bool PTRARRAY::remove_swap(int32_t index) {
  if (index < 0 || index >= count) return false;
  delete_item(index);
  data[index] = data[count - 1];
  data[--count] = nullptr;
  return true;
}

void PTRARRAY::clear() {
  if (delete_callback)
    for (int32_t i = 0; i < count; ++i) delete_item(i);
  count = 0;
}

void PTRARRAY::remove_all() {
  clear();
  free(data);
  data = nullptr;
  capacity = 0;
}

// Only the sign of a comparison counts, so comparisons that return large
// differences sort correctly; the comparator travels in the closure, so a
// sort may run inside another sort's comparison. A merge sort never steps
// outside the elements, even when a faulty comparison gives no consistent
// order (an introsort's unguarded partition would).
void PTRARRAY::sort(PTRARRAY_COMPARE compare, intptr_t user) {
  if (!compare || count < 2) return;
  std::stable_sort(data, data + count,
                   [&](const void* a, const void* b) { return compare(a, b, user) < 0; });
}

int32_t PTRARRAY::search(const void* key, PTRARRAY_COMPARE compare, intptr_t user) const {
  if (!compare) return -1;
  int32_t lo = 0, hi = count - 1;
  while (lo <= hi) {
    int32_t mid = lo + (hi - lo) / 2;
    int r = compare(key, data[mid], user);
    if (r == 0) return mid;
    if (r < 0) hi = mid - 1;
    else lo = mid + 1;
  }
  return -1;
}
