#pragma once
// A named constant of the template store: a typed value, text by default.
#include "data_device.h"
#include "parameter.h"

class WM_PTM_CONSTANT_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_CONSTANT_INFO();
  ~WM_PTM_CONSTANT_INFO() override;
  WM_PTM_CONSTANT_INFO(const WM_PTM_CONSTANT_INFO&) = delete;
  WM_PTM_CONSTANT_INFO& operator=(const WM_PTM_CONSTANT_INFO&) = delete;

  // No name; the value is the empty text again.
  void reset();
  void set_name(const char* text);

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char* name = nullptr;
  PARAMETER value;
};
