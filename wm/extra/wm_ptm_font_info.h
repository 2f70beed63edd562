#pragma once
// A named font of the template store: a font file in a folder and the slot
// it was loaded into (255: none loaded).
#include <cstdint>

#include "data_device.h"
#include "template_stream.h"

class WM_PTM_FONT_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_FONT_INFO();
  ~WM_PTM_FONT_INFO() override;
  WM_PTM_FONT_INFO(const WM_PTM_FONT_INFO&) = delete;
  WM_PTM_FONT_INFO& operator=(const WM_PTM_FONT_INFO&) = delete;

  // Defaults; a loaded font is unloaded.
  void reset();
  void set_name(const char* text);
  void set_file_name(const char* text);
  // Loads into font_id's slot, or any free slot when that one cannot be had.
  void load_font();

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char* name = nullptr;
  char folder[TEMPLATE_PATH_SIZE] = {};
  uint8_t font_id = 255;
  char* file_name = nullptr;

private:
  void unload();
};
