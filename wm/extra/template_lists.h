#pragma once
// The record arrays of the template store (style sets, areas, pages,
// objects, ...) are vectors of owned records; these are the operations they
// all share.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "data_device.h"

// Replaces list by n default records; false (list empty) when memory runs out.
template <typename T>
bool template_make_records(std::vector<std::unique_ptr<T>>& list, int32_t n) {
  list.clear();
  if (n <= 0) return true;
  list.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; i++) {
    T* made = new (std::nothrow) T();
    if (!made) {
      list.clear();
      return false;
    }
    list.emplace_back(made);
  }
  return true;
}

// False for an index outside the list.
template <typename T>
bool template_remove_record(std::vector<std::unique_ptr<T>>& list, int32_t i) {
  if (i < 0 || static_cast<size_t>(i) >= list.size()) return false;
  list.erase(list.begin() + i);
  return true;
}

// A u32 count, then each record as a block.
template <typename T>
bool template_write_records(DATA_DEVICE* device, const std::vector<std::unique_ptr<T>>& list) {
  if (!device->write_u32(static_cast<uint32_t>(list.size()))) return false;
  for (const auto& item : list)
    if (!device->write_object(*item)) return false;
  return true;
}
