#include "wm_ticker.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "clip_scope.h"
#include "image.h"
#include "rect.h"
#include "text_convert.h"
#include "timing.h"

namespace {

constexpr uint16_t REPEAT_FOR_EVER = 65535;

}  // namespace

WM_TICKER::WM_TICKER(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t new_speed,
                     int16_t maximum, const WM_TICKER_TEXT& text, CLICK_MODE click_mode,
                     WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2)
    : WM_TICKER(NO_HOOK{}, x1, y1, x2, y2, new_speed, maximum, text, click_mode, callback, word_1,
                word_2) {
  notify_created();
}

WM_TICKER::WM_TICKER(NO_HOOK, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t new_speed,
                     int16_t maximum, const WM_TICKER_TEXT& text, CLICK_MODE click_mode,
                     WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2)
    : WM_SCREEN_OBJECT(true, callback, word_1, word_2), click(click_mode) {
  x = x1;
  y = y1;
  width = static_cast<uint16_t>(std::max(0, x2 - x1 + 1));
  height = static_cast<uint16_t>(std::max(0, y2 - y1 + 1));
  speed = new_speed;
  maximum_items = std::max<int16_t>(0, maximum);
  look = text;
  // The defaults are those of the surface at this moment, not at drawing.
  const IMAGE* s = drawing_surface();
  if (s) {
    if (look.font == 255) look.font = static_cast<uint8_t>(s->font);
    if (look.font_w == 65535) look.font_w = static_cast<uint16_t>(s->font_width);
    if (look.font_h == 65535) look.font_h = s->font_height;
  }
  kind |= wm_kind::TICKER;
  clear();
}

WM_TICKER::~WM_TICKER() { clear(); }

const WM_TICKER_ITEM* WM_TICKER::get_item(int32_t index) const {
  return index >= 0 && index < item_count() ? items[static_cast<size_t>(index)].get() : nullptr;
}

int32_t WM_TICKER::add_item(const char* item_text, uint32_t value, uint8_t sticky,
                            uint16_t repeats) {
  if (maximum_items > 0 && item_count() >= maximum_items) {
    auto it = std::find_if(items.begin(), items.end(), [](const auto& i) { return !i->sticky; });
    remove_item(it == items.end() ? 0 : static_cast<int32_t>(it - items.begin()));
  }
  try {
    auto item = std::make_unique<WM_TICKER_ITEM>();
    item->text = item_text ? item_text : "";
    item->value = value;
    item->sticky = sticky;
    // Every count below 65535 is a count, not only those that fit i16.
    item->repeats = repeats == REPEAT_FOR_EVER ? -1 : static_cast<int32_t>(repeats);
    items.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  rebuild_text();
  return item_count() - 1;
}

void WM_TICKER::remove_item(int32_t index) {
  if (index < 0 || index >= item_count()) return;
  if (index == current_item) {
    // The item being shown goes: nothing may be written back into it.
    abandon_cut();
    current_item = -1;
  } else if (index < current_item) {
    --current_item;
  }
  layout.valid = false;
  items.erase(items.begin() + index);
  if (items.empty()) {
    stop_passes();
    joined.reset();
    return;
  }
  rebuild_text();
}

void WM_TICKER::set_separator(const char* separator_text) {
  if (separator_text)
    separator = separator_text;
  else
    separator.reset();
  rebuild_text();
}

void WM_TICKER::pause(bool on) {
  if (on && !paused) {
    paused = true;
    pause_time = get_time_ms();
  } else if (!on && paused) {
    if (pass_start != 0) pass_start += get_time_ms() - pause_time;
    paused = false;
    pause_time = 0;
  }
}

void WM_TICKER::clear() {
  abandon_cut();
  items.clear();
  separator.reset();
  stop_passes();
  rebuild_text();
}

void WM_TICKER::stop_passes() {
  current_item = -1;
  text_x = -1;
  text_extent = -1;
  pass_start = 0;
  pass_duration = 0;
  pause_time = 0;
  paused = false;
}

void WM_TICKER::rebuild_text() {
  joined.reset();
  layout.valid = false;
  if (separator && !items.empty()) {
    try {
      size_t length = (items.size() + 1) * separator->size();
      for (const auto& item : items) length += std::strlen(item->text.c_str());
      std::string text;
      text.reserve(length);
      text += *separator;
      for (const auto& item : items) {
        text += item->text.c_str();
        text += *separator;
      }
      joined = std::move(text);
    } catch (const std::bad_alloc&) {
      joined.reset();  // runs item by item instead
    }
  }
  // A vidiprinter times its passes by characters of one item, not by the
  // joined text's pixels.
  if (joined && pass_start != 0 && !(kind & wm_kind::VIDIPRINTER)) {
    text_extent = measure(joined->c_str());
    start_duration();
    lay_out_pass_text();
  }
}

void WM_TICKER::end_cycle() {
  for (int32_t i = 0; i < item_count();) {
    WM_TICKER_ITEM& item = *items[static_cast<size_t>(i)];
    if (item.repeats >= 0 && --item.repeats < 0) {
      remove_item(i);  // the next item moves into i
      continue;
    }
    ++i;
  }
}

const char* WM_TICKER::pass_text() const {
  if (joined) return joined->c_str();
  return current_is_valid() ? items[static_cast<size_t>(current_item)]->text.c_str() : nullptr;
}

int32_t WM_TICKER::measure(const char* text) const {
  IMAGE* s = drawing_surface();
  if (!s || !text) return 0;
  return s->get_text_width(look.font, look.font_w, static_cast<int16_t>(look.font_h), text);
}

void WM_TICKER::start_duration() {
  // A still ticker (speed 0) or one without width ends each pass at once
  // rather than dividing by nothing.
  if (width == 0 || speed <= 0) {
    pass_duration = 0;
    return;
  }
  const int64_t d = (static_cast<int64_t>(text_extent) + width) * speed / width;
  pass_duration = static_cast<uint32_t>(std::clamp<int64_t>(d, 0, UINT32_MAX));
}

void WM_TICKER::lay_out_pass_text() {
  layout.valid = false;
  const char* text = pass_text();
  IMAGE* s = drawing_surface();
  if (!text || !s) return;
  try {
    layout.left.clear();
    layout.offset.clear();
    layout.run_open.clear();
    SYSTEM_TEXT_READER reader(text);
    int32_t left = 0;
    uint32_t code_point;
    for (;;) {
      const char* at = reader.position();
      const bool open = reader.in_run();
      if (!reader.next_char(code_point)) break;
      layout.left.push_back(left);
      layout.offset.push_back(static_cast<uint32_t>(at - text));
      layout.run_open.push_back(open ? 1 : 0);
      left += s->get_text_width(look.font, look.font_w, static_cast<int16_t>(look.font_h), at, 1,
                                open ? 1 : 0);
    }
    layout.left.push_back(left);
    layout.text = text;
    layout.valid = true;
  } catch (const std::bad_alloc&) {
    layout.valid = false;  // drawn whole instead
  }
}

int32_t WM_TICKER::update(bool overlays) {
  tick();
  // A moving ticker must not stop its later siblings from ticking, so its
  // redraw request stays out of the result.
  return WM_SCREEN_OBJECT::update(overlays);
}

bool WM_TICKER::tick() {
  if (!visible || paused) return false;
  const bool pass_ran = current_is_valid();
  if (!pass_ran) {
    if (items.empty() && !joined) return false;
    pass_start = pass_duration = 0;
  }
  const uint32_t now = frame_clock;
  if (pass_duration == 0 || static_cast<uint32_t>(pass_start + pass_duration) < now) {
    ++current_item;
    // A joined text's cycle ends with each of its passes, but not before
    // the first one: an item shown once must be shown.
    if (current_item >= item_count() || (joined && pass_ran)) {
      end_cycle();
      if (items.empty()) {
        current_item = -1;
        return false;
      }
      current_item = 0;
    }
    if (joined) current_item = 0;
    text_x = x + width;
    text_extent = measure(pass_text());
    pass_start = now;
    start_duration();
    lay_out_pass_text();
    return false;
  }
  const int64_t travelled = (static_cast<int64_t>(text_extent) + width) *
                            static_cast<uint32_t>(now - pass_start) / pass_duration;
  const int32_t new_x = static_cast<int32_t>(
      std::clamp<int64_t>(x + width - travelled, INT32_MIN, INT32_MAX));
  if (new_x == text_x) return false;
  text_x = new_x;
  show();
  return true;
}

int32_t WM_TICKER::process() {
  const LIFE_WATCH watch(this);
  const int32_t r = WM_SCREEN_OBJECT::process();
  // A joined text is one long line with no item under the pointer.
  if (!watch.alive() || r != 0 || !visible || joined) return r;
  return click.process(*this);
}

void WM_TICKER::draw() {
  IMAGE* s = drawing_surface();
  if (!s) return;
  const char* text = current_is_valid() ? pass_text() : nullptr;
  if (text) {
    const int32_t font_h = look.font_h == 65535 ? s->font_height : look.font_h;
    const int32_t top = y + (static_cast<int32_t>(height) - font_h) / 2;
    CLIP_SCOPE keep(s);
    s->clip_to(x, y, to_i16(x + width - 1), to_i16(y + height - 1));
    if (!s->clip_is_empty()) draw_pass_text(text, to_i16(top));
  }
  if (border_flags)
    draw_border(x, y, to_i16(x + width - 1), to_i16(y + height - 1), border_flags, nullptr, 1,
                AUTO_BORDER_RADIUS);
}

void WM_TICKER::draw_pass_text(const char* text, int16_t top) {
  IMAGE* s = drawing_surface();
  const int8_t font = static_cast<int8_t>(look.font);
  const int16_t w = static_cast<int16_t>(look.font_w);
  const int16_t h = static_cast<int16_t>(look.font_h);
  if (!layout.valid || layout.text != text || layout.left.size() < 2) {
    if (text_x >= INT16_MIN && text_x <= INT16_MAX)
      s->draw_text(static_cast<int16_t>(text_x), top, &look.colour, nullptr, nullptr, font, w, h,
                   text, look.flags);
    return;
  }
  // Only the characters over the clip (and a margin for effects and
  // overhanging glyphs) are drawn: a joined text may be many screens long.
  const int32_t margin = std::max<int32_t>(look.font_h == 65535 ? s->font_height : look.font_h, 8);
  const int32_t from = s->clip_x1 - margin - text_x;
  const int32_t to = s->clip_x2 + margin - text_x;
  const size_t chars = layout.left.size() - 1;
  // The first character whose right edge reaches `from`.
  const auto first_right = std::lower_bound(layout.left.begin() + 1, layout.left.end(), from);
  const size_t first = static_cast<size_t>(first_right - layout.left.begin()) - 1;
  // The first character that starts beyond `to`.
  const auto past = std::upper_bound(layout.left.begin(), layout.left.begin() + chars, to);
  const size_t end = static_cast<size_t>(past - layout.left.begin());
  if (first >= chars || end <= first) return;
  const int32_t start_x = text_x + layout.left[first];
  if (start_x < INT16_MIN || start_x > INT16_MAX) return;
  s->draw_text(static_cast<int16_t>(start_x), top, &look.colour, nullptr, nullptr, font, w, h,
               text + layout.offset[first], look.flags, static_cast<int32_t>(end - first),
               layout.run_open[first]);
}
