#include "wm_ptm_image_info.h"

#include <cstring>

#include "folder.h"
#include "image_cache.h"
#include "wm_style_set.h"

namespace {
constexpr const char* kDefaultFolder = "$APPDATA/images";

}  // namespace

WM_PTM_IMAGE_INFO::WM_PTM_IMAGE_INFO() { reset(); }

WM_PTM_IMAGE_INFO::~WM_PTM_IMAGE_INFO() {
  release_picture();
  delete[] name;
  delete[] file_name;
}

void WM_PTM_IMAGE_INFO::release_picture() {
  if (picture) wm_image_cache().release(wm_image_cache().get_entry(picture));
  picture = nullptr;
}

void WM_PTM_IMAGE_INFO::reset() {
  release_picture();
  template_set_text(name, nullptr);
  template_set_text(file_name, nullptr);
  memset(folder, 0, sizeof folder);
  strcpy(folder, kDefaultFolder);
}

void WM_PTM_IMAGE_INFO::set_name(const char* text) { template_set_text(name, text); }
void WM_PTM_IMAGE_INFO::set_file_name(const char* text) { template_set_text(file_name, text); }

void WM_PTM_IMAGE_INFO::load_image() {
  release_picture();
  if (file_name && *file_name) picture = wm_image_cache().get(folder, file_name, -1, -1, 0);
}

bool WM_PTM_IMAGE_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  const uint16_t v = template_read_version;
  if (v <= 7) return true;
  bool ok = template_read_string(device, &name) && template_read_string(device, &file_name);
  if (ok && v >= 16) ok = template_read_path(device, folder);
  else if (ok && v >= 10) ok = template_read_folder_block(device, folder);
  if (!ok) {
    device->error = 1;
    return false;
  }
  if (template_fetch_resources) load_image();
  return true;
}

bool WM_PTM_IMAGE_INFO::put_to_data_device(DATA_DEVICE* device) {
  return template_write_string(device, name) && template_write_string(device, file_name) &&
         template_write_path(device, folder);
}
