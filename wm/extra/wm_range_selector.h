#pragma once
// WM_RANGE_SELECTOR is a one-row pager around an integer PARAMETER: "<<",
// "<", a label, ">" and ">>" move the variable to its lower limit, one down,
// one up or to its upper limit, and the label shows the limits and the value
// through a small format language. Changes made elsewhere show next frame.
#include <cstdint>
#include <string>

#include "colour.h"
#include "parameter.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class WM_BUTTON;
class WM_GRID;
class WM_SCRIPT;

class WM_RANGE_SELECTOR : public WM_SCREEN_OBJECT {
public:
  enum COLUMN : int32_t { FIRST = 0, PREVIOUS = 1, LABEL = 2, NEXT = 3, LAST = 4, COLUMNS = 5 };
  static constexpr const char* DEFAULT_FORMAT = "%l<%c<%u";
  static constexpr uint8_t COLOUR_BUTTON_KIND = 5;  // fires on press, repeats while held
  static constexpr uint8_t STYLE_BUTTON_KIND = 6;   // fires on release, repeats while held

  // Colour form: buttons and label in the face and text colours (null =
  // unset). Widths: five relative column widths, null = 1, 1, 5, 1, 1.
  WM_RANGE_SELECTOR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, PARAMETER* value,
                    const COLOUR* face, const COLOUR* text, WM_CALLBACK callback,
                    uintptr_t word_1, uintptr_t word_2, const int16_t* widths);
  // Style form: one style per column, in column order (null = the defaults).
  WM_RANGE_SELECTOR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, PARAMETER* value,
                    const WM_STYLE_SET* const styles[COLUMNS], WM_CALLBACK callback,
                    uintptr_t word_1, uintptr_t word_2, const int16_t* widths);
  ~WM_RANGE_SELECTOR() override;

  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, PARAMETER* new_value);
  void update_label();
  // Enables the buttons that can move the value and fixes where each goes.
  void update_buttons();
  // Replaces the label format and shows it.
  void set_format(const char* new_format);

  // "%l", "%c" and "%u" give the lower limit, the value and the upper limit
  // in decimal; "%" and any other character gives that character; a final
  // "%" stands for itself.
  static std::string format_label(const char* format, int32_t lower, int32_t current,
                                  int32_t upper);
  // The buttons' callback: word 1 is the selector, word 2 the target value.
  static int32_t step(WM_SCREEN_OBJECT* button, uintptr_t selector, uintptr_t target);

  int32_t process() override;

  WM_BUTTON* get_button(COLUMN column) const;
  WM_SCRIPT* get_label() const;

  PARAMETER* value = nullptr;  // not owned
  // The value, lower and upper limit as last shown, by PARAMETER slot.
  int32_t shown[3] = {};
  WM_GRID* grid = nullptr;     // a child
  std::string format = DEFAULT_FORMAT;

private:
  WM_RANGE_SELECTOR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, WM_CALLBACK callback,
                    uintptr_t word_1, uintptr_t word_2, const int16_t* widths);
  void refresh();
};
