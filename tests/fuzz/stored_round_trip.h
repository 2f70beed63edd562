#pragma once
// The check the fuzz targets of the installer's stored forms share: the
// input's first byte chooses the byte order, the rest is read into a model;
// a model that read is written, and those bytes must read into a fresh
// model and write again unchanged (the first write may differ from the
// input: over-long texts are cut, unknown bits dropped). Anything else
// aborts. Pictures are looked up in the image cache only, and folders
// resolve inside a private folder.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data_device.h"
#include "image_cache.h"
#include "memory_device.h"
#include "private_root.h"
#include "skin_frame.h"

namespace fuzz_support {

inline bool set_up_stored_form_target(const char* target) {
  skin_load_flags = IMAGE_CACHE_FIND_ONLY;
  return make_private_root(target);
}

// Whether the input read into model.
template <class MODEL>
bool check_round_trip(const uint8_t* data, size_t size, MODEL& model,
                      bool (*read)(MODEL&, DATA_DEVICE*), bool (*write)(MODEL&, DATA_DEVICE*)) {
  if (size < 1) return false;
  const uint8_t swap = data[0] != 0;
  test_support::MEMORY_DEVICE device(
      std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  device.swap = swap;
  if (!read(model, &device)) return false;
  auto written = [&](MODEL& from) {
    test_support::MEMORY_DEVICE out;
    out.swap = swap;
    if (!write(from, &out)) abort();
    return out.text();
  };
  const std::string first = written(model);
  MODEL again;
  test_support::MEMORY_DEVICE stored(first);
  stored.swap = swap;
  if (!read(again, &stored) || written(again) != first) abort();
  return true;
}

}  // namespace fuzz_support
