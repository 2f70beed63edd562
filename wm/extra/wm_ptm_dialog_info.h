#pragma once
// One dialog template of the template store: title, rectangle (0xFFFF
// centres) and the object templates of its client area.
#include <cstdint>
#include <memory>
#include <vector>

#include "data_device.h"
#include "wm_ptm_object_info.h"

class WM_PTM_DIALOG_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_DIALOG_INFO() = default;
  ~WM_PTM_DIALOG_INFO() override;
  WM_PTM_DIALOG_INFO(const WM_PTM_DIALOG_INFO&) = delete;
  WM_PTM_DIALOG_INFO& operator=(const WM_PTM_DIALOG_INFO&) = delete;

  void reset();
  void set_name(const char* text);
  void set_title(const char* text);

  int32_t get_object_count() const { return static_cast<int32_t>(objects.size()); }
  WM_PTM_OBJECT_INFO* get_object(int32_t i) const { return objects[static_cast<size_t>(i)].get(); }
  const TEMPLATE_LIST& get_objects() const { return objects; }
  bool set_object_count(int32_t n);
  bool add_object(uint32_t type);
  bool remove_object(int32_t i);

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char* name = nullptr;
  char* title = nullptr;
  uint16_t x = 0xFFFF, y = 0xFFFF;
  uint16_t width = 200, height = 200;

private:
  std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>> objects;
};
