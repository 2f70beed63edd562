#pragma once
// WM_TABLE_CHOOSER_LINK ties an open column chooser to its table in both
// directions of lifetime: it rides inside the chooser as an invisible child,
// so whoever deletes the chooser (the overlay list after its closing
// effect, a page reload) deletes the link too, and the link then tells the
// table that its chooser is gone. A table deleted first cuts the link
// before it deletes the chooser.
#include "wm_screen_object.h"

class WM_FLAGS_SELECT;
class WM_TABLE;

class WM_TABLE_CHOOSER_LINK : public WM_SCREEN_OBJECT {
public:
  explicit WM_TABLE_CHOOSER_LINK(WM_TABLE* owner);
  ~WM_TABLE_CHOOSER_LINK() override;

  bool hit_test(int16_t, int16_t) override { return false; }
  bool is_inside(int16_t, int16_t) override { return false; }
  // Never widened by the dialog's layout.
  void set_size(uint16_t, uint16_t, bool) override {}

  // The table stops hearing of the chooser.
  void cut() { table = nullptr; }

private:
  WM_TABLE* table;  // not owned; null once cut
};
