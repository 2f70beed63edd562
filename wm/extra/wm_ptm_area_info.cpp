#include "wm_ptm_area_info.h"

#include <cstdio>
#include <new>

#include "template_lists.h"
#include "template_stream.h"
#include "timing.h"

namespace {
// id, name, background and the objects' count.
constexpr uint32_t kSmallestPage = 16;
}

WM_PTM_AREA_INFO::~WM_PTM_AREA_INFO() { delete[] name; }

void WM_PTM_AREA_INFO::reset() {
  template_set_text(name, nullptr);
  x = y = 0;
  width = 800;
  height = 600;
  tag = -1;
  pages.clear();
}

void WM_PTM_AREA_INFO::set_name(const char* text) { template_set_text(name, text); }

bool WM_PTM_AREA_INFO::set_page_count(int32_t n) { return template_make_records(pages, n); }

bool WM_PTM_AREA_INFO::add_page() {
  WM_PTM_PAGE_INFO* made = new (std::nothrow) WM_PTM_PAGE_INFO();
  if (!made) return false;
  char label[20];
  snprintf(label, sizeof label, "Page %d", get_page_count() + 1);
  made->set_name(label);
  made->id = get_unique_time();
  pages.emplace_back(made);
  return true;
}

bool WM_PTM_AREA_INFO::remove_page(int32_t i) { return template_remove_record(pages, i); }

bool WM_PTM_AREA_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  const uint16_t v = template_read_version;
  uint32_t count = 0;
  bool ok = template_read_string(device, &name) && device->read_u16(x) && device->read_u16(y) &&
            device->read_u16(width) && device->read_u16(height) && device->read_i32(tag) &&
            device->read_u32(count) && template_count_fits(device, count, kSmallestPage) &&
            set_page_count(static_cast<int32_t>(count));
  for (size_t i = 0; ok && i < pages.size(); i++) ok = device->read_object(*pages[i]);
  uint8_t ignored = 0;
  if (ok && v >= 8 && v <= 17) ok = device->read_u8(ignored) && device->read_u8(ignored);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_AREA_INFO::put_to_data_device(DATA_DEVICE* device) {
  return template_write_string(device, name) && device->write_u16(x) && device->write_u16(y) &&
         device->write_u16(width) && device->write_u16(height) && device->write_i32(tag) &&
         template_write_records(device, pages);
}
