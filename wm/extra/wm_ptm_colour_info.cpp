#include "wm_ptm_colour_info.h"

#include "template_stream.h"

WM_PTM_COLOUR_INFO::~WM_PTM_COLOUR_INFO() { delete[] name; }

void WM_PTM_COLOUR_INFO::reset() {
  template_set_text(name, nullptr);
  colour = 0xFF000000;
}

void WM_PTM_COLOUR_INFO::set_name(const char* text) { template_set_text(name, text); }

bool WM_PTM_COLOUR_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  if (template_read_version <= 7) return true;
  bool ok = template_read_string(device, &name) && device->read_u32(colour);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_COLOUR_INFO::put_to_data_device(DATA_DEVICE* device) {
  return template_write_string(device, name) && device->write_u32(colour);
}
