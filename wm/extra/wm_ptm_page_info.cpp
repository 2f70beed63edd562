#include "wm_ptm_page_info.h"

#include <cstdio>

#include "template_lists.h"
#include "template_stream.h"
#include "wm_ptm_app_info.h"
#include "wm_ptm_image_info.h"

WM_PTM_PAGE_INFO::~WM_PTM_PAGE_INFO() { delete[] name; }

void WM_PTM_PAGE_INFO::reset() {
  template_set_text(name, nullptr);
  background = nullptr;
  page_setting = 0;
  objects.clear();
}

void WM_PTM_PAGE_INFO::set_name(const char* text) { template_set_text(name, text); }
bool WM_PTM_PAGE_INFO::set_object_count(int32_t n) { return template_make_records(objects, n); }
bool WM_PTM_PAGE_INFO::add_object(uint32_t type) { return add_object_template(objects, type); }
bool WM_PTM_PAGE_INFO::remove_object(int32_t i) { return template_remove_record(objects, i); }

bool WM_PTM_PAGE_INFO::copy_objects_from(const WM_PTM_PAGE_INFO& source) {
  if (&source == this) return true;
  if (!template_make_records(objects, source.get_object_count())) return false;
  for (size_t i = 0; i < objects.size(); i++) objects[i]->copy_from(*source.objects[i]);
  return true;
}

void WM_PTM_PAGE_INFO::set_legacy_background(const char* file) {
  background = nullptr;
  WM_PTM_APP_INFO* store = WM_PTM_APP_INFO::registered();
  if (!file || !*file || !store) return;
  WM_PTM_IMAGE_INFO* made = store->add_image();
  if (!made) return;
  char label[20];
  snprintf(label, sizeof label, "Page %x", static_cast<unsigned>(id));
  made->set_name(label);
  made->set_file_name(file);
  background = made;
}

bool WM_PTM_PAGE_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  page_text.set(nullptr);
  const uint16_t v = template_read_version;
  bool ok = device->read_u32(id) && template_read_string(device, &name);
  if (ok && v <= 16) {
    char* file = nullptr;
    ok = template_read_string(device, &file);
    if (ok) set_legacy_background(file);
    delete[] file;
  } else if (ok) {
    int32_t index = -1;
    ok = device->read_i32(index) && device->read_u32(page_setting);
    background = WM_PTM_APP_INFO::image_reference(index);
  }
  if (ok && v >= 26) ok = device->read_object(page_text);
  if (ok) ok = read_object_templates(device, objects);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_PAGE_INFO::put_to_data_device(DATA_DEVICE* device) {
  return device->write_u32(id) && template_write_string(device, name) &&
         device->write_i32(WM_PTM_APP_INFO::image_index(background)) &&
         device->write_u32(page_setting) && device->write_object(page_text) &&
         template_write_records(device, objects);
}
