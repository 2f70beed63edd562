// The chooser's side of the link: its end tells the table.
#include "wm_table_chooser_link.h"

#include "wm_table.h"

WM_TABLE_CHOOSER_LINK::WM_TABLE_CHOOSER_LINK(WM_TABLE* owner)
    : WM_SCREEN_OBJECT(false, nullptr, 0, 0), table(owner) {}

WM_TABLE_CHOOSER_LINK::~WM_TABLE_CHOOSER_LINK() {
  if (table) table->chooser_gone();
}
