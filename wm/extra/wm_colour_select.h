#pragma once
// WM_COLOUR_SELECT is the movable "Select a Colour" dialog: an ARGB colour
// chosen by 16 preset swatches, a hue/saturation field and a level strip,
// typed red, green, blue, hue, saturation, level, alpha or colour texts, or
// an alpha scroll bar. OK and Cancel put 1 or 0 into the dialog's word 2
// and call its callback, which decides what becomes of the dialog.
#include <cstdint>

#include "parameter.h"
#include "wm_dialog.h"

class WM_BUTTON;
class WM_IMAGE;
class WM_TEXT_EDIT;

class WM_COLOUR_SELECT : public WM_DIALOG {
public:
  // Control ids: word 1 of each control (a swatch carries its colour).
  enum CONTROL : uint32_t {
    ID_OK = 1,
    ID_CANCEL = 2,
    ID_FIELD = 3,
    ID_STRIP = 4,
    ID_RED = 5,
    ID_HUE = 6,
    ID_GREEN = 7,
    ID_SATURATION = 8,
    ID_BLUE = 9,
    ID_LEVEL = 10,
    ID_ALPHA = 11,
    ID_ALPHA_BAR = 12,
    ID_HEX = 13,
  };
  static constexpr int SWATCH_COUNT = 16;
  static const COLOUR swatch_colours[SWATCH_COUNT];

  // Null styles take WM_STYLE_SET defaults. The dialog starts opaque black.
  WM_COLOUR_SELECT(int16_t x, int16_t y, const WM_STYLE_SET* label_style,
                   const WM_STYLE_SET* entry_style, const WM_STYLE_SET* bar_style,
                   WM_CALLBACK callback, uintptr_t word_1);
  // Styles derived from the default dialog styles' text colours.
  WM_COLOUR_SELECT(int16_t x, int16_t y, WM_CALLBACK callback, uintptr_t word_1);
  // The alpha bar goes before the alpha it edits; the dialog part deletes
  // the other controls.
  ~WM_COLOUR_SELECT() override;

  void set_colour(const COLOUR* colour);
  void get_colour(COLOUR* out) const;
  // Redraws the field, the strip and the preview and rewrites every entry.
  void refresh();
  // Click and Return callback of every control: word 1 the id (or the
  // swatch colour), word 2 the dialog.
  static int32_t on_control(WM_SCREEN_OBJECT* control, uintptr_t id, uintptr_t dialog);

  double get_hue() const { return hue; }
  double get_saturation() const { return saturation; }
  double get_level() const { return level; }
  uint8_t get_alpha() const;
  WM_BUTTON* get_swatch(int index) const { return swatches[index]; }
  WM_BUTTON* get_ok() const { return ok; }
  WM_BUTTON* get_cancel() const { return cancel; }
  WM_IMAGE* get_field() const { return field; }
  WM_IMAGE* get_strip() const { return strip; }
  WM_IMAGE* get_preview() const { return preview; }
  WM_SCREEN_OBJECT* get_alpha_bar() const { return alpha_bar; }
  // By control id, 5 to 11 and 13; null otherwise.
  WM_TEXT_EDIT* get_entry(uint32_t id) const;
  // The inset of the field's and the strip's pictures inside their frames.
  int32_t get_inset() const;

private:
  void build(const WM_STYLE_SET& label_style, const WM_STYLE_SET& entry_style,
             const WM_STYLE_SET& bar_style, WM_CALLBACK callback, uintptr_t word_1);
  int32_t control(WM_SCREEN_OBJECT* object, uint32_t id);
  int32_t answer(uintptr_t result);
  // Hue and saturation (or level) from a click inside the frame.
  int32_t picked(const WM_IMAGE* image, uint32_t id);
  void typed(const WM_TEXT_EDIT* entry, uint32_t id);
  void take_colour(COLOUR c);
  void draw_field();
  void draw_strip();
  void draw_preview();

  double hue = 0.0;
  double saturation = 0.0;
  double level = 0.0;
  PARAMETER alpha;  // i16, 0 .. 255; the alpha bar edits it
  WM_BUTTON* swatches[SWATCH_COUNT] = {};
  WM_BUTTON* ok = nullptr;  // the controls are children
  WM_BUTTON* cancel = nullptr;
  WM_IMAGE* field = nullptr;
  WM_IMAGE* strip = nullptr;
  WM_IMAGE* preview = nullptr;
  WM_SCREEN_OBJECT* alpha_bar = nullptr;
  WM_TEXT_EDIT* entries[14] = {};  // by id
};
