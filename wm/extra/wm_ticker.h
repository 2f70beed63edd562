#pragma once
// WM_TICKER is a one-line news ticker: its items scroll from right to left
// through a clipped strip, one item per pass, or all joined by a separator
// into one text. Items may be limited in number, kept from being dropped
// (sticky) and given a number of cycles after which they go. Clicks reach
// the action callback by the click mode, except while a joined text runs.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "click_rule.h"
#include "wm_screen_object.h"
#include "wm_ticker_item.h"

// Font and text of the ticker's lines; 255 and 65535 stand for the drawing
// surface's default font and sizes at construction.
struct WM_TICKER_TEXT {
  COLOUR colour = COLOUR_INVISIBLE;
  uint8_t font = 255;
  uint16_t font_w = 65535;
  uint16_t font_h = 65535;
  uint16_t flags = 0;  // draw_text's effect flags
};

class WM_TICKER : public WM_SCREEN_OBJECT {
public:
  // Inclusive corners; speed is the ms a point of the text takes to cross
  // the widget; a negative maximum counts as 0 (no limit).
  WM_TICKER(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t speed, int16_t maximum_items,
            const WM_TICKER_TEXT& text, CLICK_MODE click_mode, WM_CALLBACK callback = nullptr,
            uintptr_t word_1 = 0, uintptr_t word_2 = 0);
  ~WM_TICKER() override;

  // Index of the new item, or -1 when it could not be stored. Repeats 65535
  // mean for ever. A full ticker first drops its first item that is not
  // sticky (the first item when all are).
  int32_t add_item(const char* item_text, uint32_t value, uint8_t sticky, uint16_t repeats);
  // Indexes outside the items are ignored.
  void remove_item(int32_t index);
  // A copy of the text (null = none): items then run joined into one text.
  void set_separator(const char* separator_text);
  // Freezes a running pass; resuming continues at the same place.
  void pause(bool on);
  // Drops every item and the separator and stops the passes.
  void clear();

  int32_t process() override;
  // Ticks the pass; the result is that of the children, never the redraw.
  int32_t update(bool overlays) override;
  // One step of the pass by the frame clock; true when the text moved and
  // the widget asked to be redrawn.
  virtual bool tick();
  bool is_selectable() override { return false; }
  void draw() override;

  int32_t item_count() const { return static_cast<int32_t>(items.size()); }
  const WM_TICKER_ITEM* get_item(int32_t index) const;
  int16_t get_current_item() const { return current_item; }
  int32_t get_text_x() const { return text_x; }
  bool is_paused() const { return paused; }
  bool has_joined_text() const { return joined.has_value(); }
  const char* get_joined_text() const { return joined ? joined->c_str() : nullptr; }

  CLICK_RULE click;
  uint16_t border_flags = 0;  // 0: no border

protected:
  // For the vidiprinter: sets everything up but leaves the created hook to
  // the most derived constructor.
  struct NO_HOOK {};
  WM_TICKER(NO_HOOK, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t speed,
            int16_t maximum_items, const WM_TICKER_TEXT& text, CLICK_MODE click_mode,
            WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2);

  // Applies each item's repeat count once; expired items go.
  void end_cycle();
  void rebuild_text();
  // The text of the running pass: the joined text, else the current item's.
  const char* pass_text() const;
  int32_t measure(const char* text) const;
  // The current item goes: a vidiprinter forgets what it cut from it
  // (without writing it back). Nothing for the ticker.
  virtual void abandon_cut() {}
  // Where the text's characters start, for drawing only the visible ones;
  // made again whenever the pass text changes.
  void lay_out_pass_text();
  bool current_is_valid() const {
    return current_item >= 0 && current_item < item_count();
  }

  std::vector<std::unique_ptr<WM_TICKER_ITEM>> items;
  int16_t current_item = -1;
  int32_t text_x = -1;       // screen x of the text's left edge
  int32_t text_extent = -1;  // pixels (ticker) or characters (vidiprinter)
  int16_t maximum_items = 0;
  WM_TICKER_TEXT look;
  int16_t speed = 0;
  uint32_t pass_start = 0;     // frame clock; 0 = no pass
  uint32_t pass_duration = 0;  // 0 = the pass ends at once
  uint32_t pause_time = 0;     // get_time_ms when paused
  bool paused = false;

private:
  struct LAYOUT {
    bool valid = false;
    const char* text = nullptr;
    std::vector<int32_t> left;     // per character, from the text's left edge; one more at the end
    std::vector<uint32_t> offset;  // byte of each character
    std::vector<uint8_t> run_open; // whether a code run is open there
  };
  // No item shown, no pass running, not paused.
  void stop_passes();
  void start_duration();
  void draw_pass_text(const char* text, int16_t text_top);

  std::optional<std::string> separator;
  std::optional<std::string> joined;
  LAYOUT layout;
};
