#include "template_stream.h"

#include <cstring>
#include <new>

#include "folder.h"

uint16_t template_read_version = TEMPLATE_STREAM_VERSION;
uint8_t template_fetch_resources = 1;

namespace {
// Where a device cannot tell what remains, counts are held to this.
constexpr uint32_t kUnknownLengthCount = 65536;
}  // namespace

bool template_count_fits(DATA_DEVICE* device, uint32_t count, uint32_t min_bytes) {
  int64_t left = device->bytes_left();
  bool fits = left < 0 ? count <= kUnknownLengthCount
                       : static_cast<int64_t>(count) * min_bytes <= left;
  if (!fits) device->error = 1;
  return fits;
}

bool template_read_string(DATA_DEVICE* device, char** out) {
  delete[] *out;
  *out = nullptr;
  uint32_t length = 0;
  if (!device->read_u32(length)) return false;
  if (length == 0) return true;
  if (!template_count_fits(device, length, 1)) return false;
  *out = device->read_text(length);
  device->error = *out ? 0 : 1;
  return *out != nullptr;
}

bool template_write_string(DATA_DEVICE* device, const char* text) {
  uint32_t length = text ? static_cast<uint32_t>(strlen(text)) : 0;
  if (!device->write_u32(length)) return false;
  if (length == 0) return true;
  device->error = device->write(text, static_cast<int32_t>(length)) == static_cast<int32_t>(length) ? 0 : 1;
  return !device->error;
}

bool template_read_path(DATA_DEVICE* device, char* field) {
  char buffer[TEMPLATE_PATH_SIZE];
  device->error = device->read(buffer, TEMPLATE_PATH_SIZE) == TEMPLATE_PATH_SIZE ? 0 : 1;
  if (device->error) return false;
  buffer[TEMPLATE_PATH_SIZE - 1] = '\0';
  memcpy(field, buffer, TEMPLATE_PATH_SIZE);
  return true;
}

bool template_write_path(DATA_DEVICE* device, const char* field) {
  char buffer[TEMPLATE_PATH_SIZE] = {};
  strncpy(buffer, field, TEMPLATE_PATH_SIZE - 1);
  device->error = device->write(buffer, TEMPLATE_PATH_SIZE) == TEMPLATE_PATH_SIZE ? 0 : 1;
  return !device->error;
}

void template_set_text(char*& field, const char* text) {
  if (field && text && strcmp(field, text) == 0) return;
  delete[] field;
  field = nullptr;
  if (!text) return;
  size_t size = strlen(text) + 1;
  field = new (std::nothrow) char[size];
  if (field) memcpy(field, text, size);
}

bool template_read_folder_block(DATA_DEVICE* device, char* field) {
  FOLDER stored;
  if (!device->read_object(stored)) return false;
  if (!stored.get_path_text(field, TEMPLATE_PATH_SIZE, nullptr)) field[0] = '\0';
  return true;
}
