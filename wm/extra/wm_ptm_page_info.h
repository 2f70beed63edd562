#pragma once
// One page template of an area: its id, name, background picture (a store
// image, not owned), page setting, page text and object templates.
#include <cstdint>
#include <memory>
#include <vector>

#include "data_device.h"
#include "vorn_string.h"
#include "wm_ptm_object_info.h"

class WM_PTM_IMAGE_INFO;

class WM_PTM_PAGE_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_PAGE_INFO() = default;
  ~WM_PTM_PAGE_INFO() override;
  WM_PTM_PAGE_INFO(const WM_PTM_PAGE_INFO&) = delete;
  WM_PTM_PAGE_INFO& operator=(const WM_PTM_PAGE_INFO&) = delete;

  // Defaults and no objects; `page_text` and `id` are kept.
  void reset();
  void set_name(const char* text);

  int32_t get_object_count() const { return static_cast<int32_t>(objects.size()); }
  WM_PTM_OBJECT_INFO* get_object(int32_t i) const { return objects[static_cast<size_t>(i)].get(); }
  const TEMPLATE_LIST& get_objects() const { return objects; }
  bool set_object_count(int32_t n);
  bool add_object(uint32_t type);
  bool remove_object(int32_t i);
  // The objects become copies of the other page's.
  bool copy_objects_from(const WM_PTM_PAGE_INFO& source);
  // A non-empty file name becomes a new store image named after the page
  // id; an empty one, or no store, leaves no background.
  void set_legacy_background(const char* file);

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  uint32_t id = 0;
  char* name = nullptr;
  WM_PTM_IMAGE_INFO* background = nullptr;
  uint32_t page_setting = 0;  // 0: the store's default
  VORN_STRING page_text;

private:
  std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>> objects;
};
