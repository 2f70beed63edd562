#pragma once
// A named picture of the template store: a file in a folder (kept as the
// folder's path text), fetched through the toolkit's image cache.
#include "data_device.h"
#include "template_stream.h"

class IMAGE;

class WM_PTM_IMAGE_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_IMAGE_INFO();
  ~WM_PTM_IMAGE_INFO() override;
  WM_PTM_IMAGE_INFO(const WM_PTM_IMAGE_INFO&) = delete;
  WM_PTM_IMAGE_INFO& operator=(const WM_PTM_IMAGE_INFO&) = delete;

  // Defaults; the picture's cache reference goes back.
  void reset();
  void set_name(const char* text);
  void set_file_name(const char* text);
  // The picture from folder/file_name, or null (no file name, not loadable).
  void load_image();

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char* name = nullptr;
  char folder[TEMPLATE_PATH_SIZE] = {};
  IMAGE* picture = nullptr;  // one reference in the toolkit's image cache
  char* file_name = nullptr;

private:
  void release_picture();
};
