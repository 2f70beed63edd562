#include "wm_ptm_constant_info.h"

#include "template_stream.h"

WM_PTM_CONSTANT_INFO::WM_PTM_CONSTANT_INFO() : value("") {}

WM_PTM_CONSTANT_INFO::~WM_PTM_CONSTANT_INFO() { delete[] name; }

void WM_PTM_CONSTANT_INFO::reset() {
  template_set_text(name, nullptr);
  value.set_type(PARAMETER::TEXT);
  value.set_from_string(PARAMETER::VALUE, "");
}

void WM_PTM_CONSTANT_INFO::set_name(const char* text) { template_set_text(name, text); }

bool WM_PTM_CONSTANT_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  const uint16_t v = template_read_version;
  if (v <= 7) return true;
  bool ok = template_read_string(device, &name);
  if (ok && v >= 17) {
    ok = device->read_object(value);
  } else if (ok) {
    // Older layouts kept a bare number; the value stays text and holds it
    // as "%d".
    uint32_t number = 0;
    ok = device->read_u32(number);
    if (ok) value.set_int(PARAMETER::VALUE, static_cast<int32_t>(number));
  }
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_CONSTANT_INFO::put_to_data_device(DATA_DEVICE* device) {
  return template_write_string(device, name) && device->write_object(value);
}
