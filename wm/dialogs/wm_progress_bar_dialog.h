#pragma once
// WM_PROGRESS_BAR_DIALOG is a dialog with an optional message line over a
// progress bar. Its setters can draw the change and present it at once, so a
// program working inside one main-loop turn keeps the dialog current; an
// immediate dialog also presents itself when built, retitled and deleted.
#include <cstdint>

#include "colour.h"
#include "wm_dialog.h"
#include "wm_progress_bar.h"

class WM_SCRIPT;

class WM_PROGRESS_BAR_DIALOG : public WM_DIALOG {
public:
  // The dialog part as WM_DIALOG's style form. A null bar style gives a
  // borderless bar in the given colour (null = unset).
  WM_PROGRESS_BAR_DIALOG(int16_t x, int16_t y, int16_t w, int16_t h, const char* title,
                         const WM_STYLE_SET* body_style, const WM_STYLE_SET* title_style,
                         const WM_STYLE_SET* button_style, const DIALOG_EFFECTS* effects,
                         const char* message, int32_t total, const COLOUR* bar_colour,
                         bool immediate, const WM_STYLE_SET* bar_style);
  ~WM_PROGRESS_BAR_DIALOG() override;

  // Null texts, null colours, a negative total and a value outside
  // 0..total change nothing; with now the change is on screen at return.
  void set_title(const char* text, bool now);
  void set_message(const char* text, bool now);
  void set_bar_text(const char* text, bool now);
  void set_colours(const COLOUR* background, const COLOUR* foreground, const COLOUR* bar,
                   bool now);
  void set_total(int32_t total, bool now);
  void step_back(bool now);
  void step(bool now);
  void set_value(int32_t value, bool now);
  // set_title, at once when the dialog is immediate.
  void set_text(const char* text) override;

  WM_SCRIPT* message_label = nullptr;  // a child of the client; null without a message
  WM_PROGRESS_BAR* bar = nullptr;      // a child of the client
  uint8_t immediate = 0;

private:
  void build(const char* message, int32_t total, const COLOUR* bar_colour, const WM_STYLE_SET* bar_style);
  // Redraws the object now and presents it, or in the next frame.
  void refresh(WM_SCREEN_OBJECT* changed, bool now);
  void refresh_bar(bool now);
  void mark_visible();
};
