#pragma once
// One page area of the template store (a layer of the page manager): its
// rectangle, a stored tag and the page templates shown in it.
#include <cstdint>
#include <memory>
#include <vector>

#include "data_device.h"
#include "wm_ptm_page_info.h"

class WM_PTM_AREA_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_AREA_INFO() = default;
  ~WM_PTM_AREA_INFO() override;
  WM_PTM_AREA_INFO(const WM_PTM_AREA_INFO&) = delete;
  WM_PTM_AREA_INFO& operator=(const WM_PTM_AREA_INFO&) = delete;

  void reset();
  void set_name(const char* text);

  int32_t get_page_count() const { return static_cast<int32_t>(pages.size()); }
  WM_PTM_PAGE_INFO* get_page(int32_t i) const { return pages[static_cast<size_t>(i)].get(); }
  // n default pages (id 0, no name).
  bool set_page_count(int32_t n);
  // Named "Page <count + 1>", with an id no other page of this run has.
  bool add_page();
  bool remove_page(int32_t i);

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char* name = nullptr;
  uint16_t x = 0, y = 0;
  uint16_t width = 800, height = 600;
  int32_t tag = -1;  // stored and loaded only

private:
  std::vector<std::unique_ptr<WM_PTM_PAGE_INFO>> pages;
};
