#include "wm_ptm_font_info.h"

#include <cstring>

#include "folder.h"
#include "font.h"

namespace {
constexpr uint8_t kNoFont = 255;
}

WM_PTM_FONT_INFO::WM_PTM_FONT_INFO() { reset(); }

WM_PTM_FONT_INFO::~WM_PTM_FONT_INFO() {
  unload();
  delete[] name;
  delete[] file_name;
}

void WM_PTM_FONT_INFO::unload() {
  // 255 would unload every font of the program, so only a real slot goes.
  if (font_id < kNoFont) FONT::unload(font_id);
  font_id = kNoFont;
}

void WM_PTM_FONT_INFO::reset() {
  unload();
  template_set_text(name, nullptr);
  template_set_text(file_name, nullptr);
  memset(folder, 0, sizeof folder);
  strcpy(folder, "$APPDATA/fonts");
}

void WM_PTM_FONT_INFO::set_name(const char* text) { template_set_text(name, text); }
void WM_PTM_FONT_INFO::set_file_name(const char* text) { template_set_text(file_name, text); }

void WM_PTM_FONT_INFO::load_font() {
  FOLDER location;
  location.set_stored_path(folder);
  int16_t loaded = FONT::load(file_name, name, font_id, &location);
  if (loaded < 0 && font_id < kNoFont) loaded = FONT::load(file_name, name, kNoFont, &location);
  font_id = loaded < 0 || loaded > kNoFont ? kNoFont : static_cast<uint8_t>(loaded);
}

bool WM_PTM_FONT_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  const uint16_t v = template_read_version;
  if (v <= 7) return true;
  bool ok = template_read_string(device, &name) && template_read_string(device, &file_name);
  if (ok && v >= 16) ok = template_read_path(device, folder);
  else if (ok && v >= 10) ok = template_read_folder_block(device, folder);
  // The slot asked for is not ours until the font is loaded into it.
  uint8_t wanted = kNoFont;
  if (ok && v >= 14) ok = device->read_u8(wanted);
  if (!ok) {
    device->error = 1;
    return false;
  }
  if (!template_fetch_resources) return true;
  font_id = wanted;
  load_font();
  return true;
}

bool WM_PTM_FONT_INFO::put_to_data_device(DATA_DEVICE* device) {
  return template_write_string(device, name) && template_write_string(device, file_name) &&
         template_write_path(device, folder) && device->write_u8(font_id);
}
