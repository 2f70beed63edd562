#include "wm_ptm_dialog_info.h"

#include "template_lists.h"
#include "template_stream.h"

WM_PTM_DIALOG_INFO::~WM_PTM_DIALOG_INFO() {
  delete[] name;
  delete[] title;
}

void WM_PTM_DIALOG_INFO::reset() {
  template_set_text(name, nullptr);
  template_set_text(title, nullptr);
  x = y = 0xFFFF;
  width = height = 200;
  objects.clear();
}

void WM_PTM_DIALOG_INFO::set_name(const char* text) { template_set_text(name, text); }
void WM_PTM_DIALOG_INFO::set_title(const char* text) { template_set_text(title, text); }
bool WM_PTM_DIALOG_INFO::set_object_count(int32_t n) { return template_make_records(objects, n); }
bool WM_PTM_DIALOG_INFO::add_object(uint32_t type) { return add_object_template(objects, type); }
bool WM_PTM_DIALOG_INFO::remove_object(int32_t i) { return template_remove_record(objects, i); }

bool WM_PTM_DIALOG_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  bool ok = template_read_string(device, &name) && template_read_string(device, &title) &&
            device->read_u16(x) && device->read_u16(y) && device->read_u16(width) &&
            device->read_u16(height) && read_object_templates(device, objects);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_DIALOG_INFO::put_to_data_device(DATA_DEVICE* device) {
  return template_write_string(device, name) && template_write_string(device, title) &&
         device->write_u16(x) && device->write_u16(y) && device->write_u16(width) &&
         device->write_u16(height) && template_write_records(device, objects);
}
