#pragma once
// A named ARGB colour of the template store.
#include <cstdint>

#include "data_device.h"

class WM_PTM_COLOUR_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_COLOUR_INFO() = default;
  ~WM_PTM_COLOUR_INFO() override;
  WM_PTM_COLOUR_INFO(const WM_PTM_COLOUR_INFO&) = delete;
  WM_PTM_COLOUR_INFO& operator=(const WM_PTM_COLOUR_INFO&) = delete;

  void reset();
  void set_name(const char* text);

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char* name = nullptr;
  uint32_t colour = 0xFF000000;
};
