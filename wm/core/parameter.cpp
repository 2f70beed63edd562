#include "parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace {

// "%.2lf" of the largest double is 309 digits, a sign, a point and two
// decimals; every other number form is shorter.
constexpr size_t kNumberText = 330;

// Truncates toward zero; out-of-range values give the nearest end, NaN 0.
template <typename INT>
INT saturate(double number) {
  if (std::isnan(number)) return 0;
  constexpr double low = static_cast<double>(std::numeric_limits<INT>::min());
  constexpr double high = static_cast<double>(std::numeric_limits<INT>::max());
  if (number <= low) return std::numeric_limits<INT>::min();
  if (number >= high) return std::numeric_limits<INT>::max();
  return static_cast<INT>(number);
}

struct NUMBER_TEXT {
  char text[kNumberText];
};

// format is one of this file's own number forms.
template <typename NUMBER>
NUMBER_TEXT format_number(const char* format, NUMBER number) {
  NUMBER_TEXT out;
  snprintf(out.text, sizeof out.text, format, number);
  return out;
}

// An owned copy, or null when there is no memory.
char* copy_text(const char* text, size_t length) {
  char* copy = new (std::nothrow) char[length + 1];
  if (!copy) return nullptr;
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

// The stored characters of a text of length (> 0) bytes, terminated. A
// length that is more than the device still holds fails before anything is
// allocated; on a device that cannot tell, the buffer grows only as bytes
// really arrive. Null on a short read or when there is no memory.
}  // namespace

PARAMETER::PARAMETER(const char* text) { replace_text(slots[VALUE], text ? text : ""); }

PARAMETER::PARAMETER(const PARAMETER& other) : DATA_DEVICE_CLIENT(other) { *this = other; }

PARAMETER& PARAMETER::operator=(const PARAMETER& other) {
  if (this == &other) return *this;
  free_texts();
  type = other.type;
  for (int i = 0; i < 3; i++) {
    slots[i] = other.slots[i];
    if (type == TEXT && other.slots[i].text)
      slots[i].text = copy_text(other.slots[i].text, strlen(other.slots[i].text));
  }
  return *this;
}

PARAMETER::~PARAMETER() { free_texts(); }

void PARAMETER::free_texts() {
  if (type != TEXT) return;
  for (CONTENT& slot : slots) {
    delete[] slot.text;
    slot.text = nullptr;
  }
}

void PARAMETER::clear_slots() {
  for (CONTENT& slot : slots) slot.bits = 0;
}

void PARAMETER::set_type(uint32_t code) {
  free_texts();
  // Whatever a number or a caller's pointer left in the slots is never
  // taken for an owned text.
  if (code == TEXT && type != TEXT) clear_slots();
  type = code;
  if (type == TEXT) {
    for (SLOT slot : {MINIMUM, MAXIMUM, VALUE}) set_from_string(slot, "");
  } else if (type <= POINTER) {
    for (SLOT slot : {MINIMUM, MAXIMUM, VALUE}) set_int(slot, 0);
  }
}

int32_t PARAMETER::get_int(SLOT slot) const {
  const CONTENT& c = slots[slot];
  switch (type) {
    case I8: return c.i8;
    case U8: return c.u8;
    case I16: return c.i16;
    case U16: return c.u16;
    case I32: return c.i32;
    case U32: return static_cast<int32_t>(c.u32);
    case FLOAT: return saturate<int32_t>(c.f32);
    case DOUBLE: return saturate<int32_t>(c.f64);
    case TEXT: {
      int32_t number = 0;
      if (c.text) sscanf(c.text, "%d", &number);
      return number;
    }
    case POINTER: return static_cast<int32_t>(reinterpret_cast<intptr_t>(c.pointer));
    default: return 0;
  }
}

uint32_t PARAMETER::get_unsigned(SLOT slot) const {
  const CONTENT& c = slots[slot];
  switch (type) {
    case U32: return c.u32;
    case FLOAT: return static_cast<uint32_t>(saturate<int64_t>(c.f32));
    case DOUBLE: return static_cast<uint32_t>(saturate<int64_t>(c.f64));
    case TEXT: {
      uint32_t number = 0;
      if (c.text) sscanf(c.text, "%u", &number);
      return number;
    }
    default: return static_cast<uint32_t>(get_int(slot));
  }
}

double PARAMETER::get_double(SLOT slot) const {
  const CONTENT& c = slots[slot];
  switch (type) {
    case U32: return c.u32;
    case FLOAT: return c.f32;
    case DOUBLE: return c.f64;
    case TEXT: {
      double number = 0;
      if (c.text) sscanf(c.text, "%lf", &number);
      return number;
    }
    case POINTER: return static_cast<double>(reinterpret_cast<intptr_t>(c.pointer));
    default: return get_int(slot);
  }
}

void* PARAMETER::get_pointer(SLOT slot) const {
  const CONTENT& c = slots[slot];
  switch (type) {
    case U32: return reinterpret_cast<void*>(static_cast<uintptr_t>(c.u32));
    case FLOAT: return reinterpret_cast<void*>(static_cast<intptr_t>(saturate<int64_t>(c.f32)));
    case DOUBLE: return reinterpret_cast<void*>(static_cast<intptr_t>(saturate<int64_t>(c.f64)));
    case TEXT: {
      void* pointer = nullptr;
      if (c.text) sscanf(c.text, "%p", &pointer);
      return pointer;
    }
    case POINTER: return c.pointer;
    default: return reinterpret_cast<void*>(static_cast<intptr_t>(get_int(slot)));
  }
}

uint32_t PARAMETER::get_length(SLOT slot) const {
  const char* text = get_text(slot);
  return text ? static_cast<uint32_t>(strlen(text)) : 0;
}

const char* PARAMETER::get_text(SLOT slot) const { return type == TEXT ? slots[slot].text : nullptr; }

void PARAMETER::to_string(SLOT slot, char* buffer, size_t size) const {
  if (!buffer || size == 0) return;
  const CONTENT& c = slots[slot];
  switch (type) {
    case I8: snprintf(buffer, size, "%hd", static_cast<short>(c.i8)); break;
    case U8: snprintf(buffer, size, "%hu", static_cast<unsigned short>(c.u8)); break;
    case I16: snprintf(buffer, size, "%hd", c.i16); break;
    case U16: snprintf(buffer, size, "%hu", c.u16); break;
    case I32: snprintf(buffer, size, "%d", c.i32); break;
    case U32: snprintf(buffer, size, "%u", c.u32); break;
    case FLOAT: snprintf(buffer, size, "%.2f", static_cast<double>(c.f32)); break;
    case DOUBLE: snprintf(buffer, size, "%.2lf", c.f64); break;
    case TEXT: {
      size_t length = c.text ? strlen(c.text) : 0;
      if (length > size - 1) length = size - 1;
      if (length) memcpy(buffer, c.text, length);
      buffer[length] = '\0';
      break;
    }
    case POINTER: snprintf(buffer, size, "%p", c.pointer); break;
    default: break;
  }
}

// Numbers of every integer kind arrive here widened to 64 bits and are cut
// to the slot's width; the whole slot is written, so nothing stale remains
// beside a narrow value.
void PARAMETER::store_integer(CONTENT& c, int64_t number) {
  if (type == TEXT || type > POINTER) return;
  c.bits = 0;
  switch (type) {
    case I8: c.i8 = static_cast<int8_t>(number); break;
    case U8: c.u8 = static_cast<uint8_t>(number); break;
    case I16: c.i16 = static_cast<int16_t>(number); break;
    case U16: c.u16 = static_cast<uint16_t>(number); break;
    case I32: c.i32 = static_cast<int32_t>(number); break;
    case U32: c.u32 = static_cast<uint32_t>(number); break;
    case FLOAT: c.f32 = static_cast<float>(number); break;
    case DOUBLE: c.f64 = static_cast<double>(number); break;
    case POINTER: c.pointer = reinterpret_cast<void*>(static_cast<intptr_t>(number)); break;
    default: break;
  }
}

// No memory leaves the slot null.
void PARAMETER::replace_text(CONTENT& c, const char* text) {
  delete[] c.text;
  c.text = copy_text(text, strlen(text));
}

void PARAMETER::set_int(SLOT slot, int32_t number) {
  if (type == TEXT) return replace_text(slots[slot], format_number("%d", number).text);
  store_integer(slots[slot], number);
  clamp();
}

void PARAMETER::set_unsigned(SLOT slot, uint32_t number) {
  if (type == TEXT) return replace_text(slots[slot], format_number("%u", number).text);
  store_integer(slots[slot], number);
  clamp();
}

void PARAMETER::set_double(SLOT slot, double number) {
  CONTENT& c = slots[slot];
  switch (type) {
    case U32:
    case POINTER: store_integer(c, saturate<int64_t>(number)); break;
    case FLOAT:
      c.bits = 0;
      c.f32 = static_cast<float>(number);
      break;
    case DOUBLE: c.f64 = number; break;
    case I8:
    case U8:
    case I16:
    case U16:
    case I32: store_integer(c, saturate<int32_t>(number)); break;
    case TEXT: replace_text(c, format_number("%.2lf", number).text); return;
    default: return;
  }
  clamp();
}

void PARAMETER::set_pointer(SLOT slot, void* pointer) {
  CONTENT& c = slots[slot];
  if (type == TEXT) return replace_text(c, format_number("%p", pointer).text);
  store_integer(c, reinterpret_cast<intptr_t>(pointer));
  clamp();
}

void PARAMETER::set_from_string(SLOT slot, const char* text) {
  CONTENT& c = slots[slot];
  if (type == TEXT) {
    replace_text(c, text ? text : "");
    return;
  }
  if (type == POINTER) {
    c.pointer = const_cast<char*>(text);
    return;
  }
  if (type > POINTER) return;
  if (!text) text = "";
  CONTENT parsed;
  parsed.bits = 0;
  switch (type) {
    case I8:
    case I16: sscanf(text, "%hd", &parsed.i16); break;
    case U8:
    case U16: sscanf(text, "%hu", &parsed.u16); break;
    case I32: sscanf(text, "%d", &parsed.i32); break;
    case U32: sscanf(text, "%u", &parsed.u32); break;
    case FLOAT: sscanf(text, "%f", &parsed.f32); break;
    case DOUBLE: sscanf(text, "%lf", &parsed.f64); break;
  }
  // A byte keeps the low byte of the 16-bit number.
  if (type == I8) store_integer(parsed, parsed.i16);
  if (type == U8) store_integer(parsed, parsed.u16);
  c = parsed;
  clamp();
}

// Below the minimum goes to the minimum, then above the maximum to the
// maximum, so crossed bounds leave the value at the maximum. A NaN bound
// compares false and moves nothing.
void PARAMETER::clamp() {
  CONTENT& value = slots[VALUE];
  const CONTENT& low = slots[MINIMUM];
  const CONTENT& high = slots[MAXIMUM];
  auto pull = [](auto& number, auto minimum, auto maximum) {
    if (number < minimum) number = minimum;
    if (number > maximum) number = maximum;
  };
  switch (type) {
    case I8: pull(value.i8, low.i8, high.i8); break;
    case U8: pull(value.u8, low.u8, high.u8); break;
    case I16: pull(value.i16, low.i16, high.i16); break;
    case U16: pull(value.u16, low.u16, high.u16); break;
    case I32: pull(value.i32, low.i32, high.i32); break;
    case U32: pull(value.u32, low.u32, high.u32); break;
    case FLOAT: pull(value.f32, low.f32, high.f32); break;
    case DOUBLE: pull(value.f64, low.f64, high.f64); break;
    default: break;
  }
}

bool PARAMETER::write_slot(DATA_DEVICE* device, const CONTENT& c) const {
  switch (type) {
    case I8:
    case U8: return device->write_u8(c.u8);
    case I16:
    case U16: return device->write_u16(c.u16);
    case I32:
    case U32:
    case FLOAT: return device->write_u32(c.u32);
    case DOUBLE: return device->write_u64(c.bits);
    case TEXT: return device->write_string(c.text);
    // The full address, as 8 bytes; it means nothing to another run.
    case POINTER: return device->write_u64(reinterpret_cast<uintptr_t>(c.pointer));
    default: return true;
  }
}

bool PARAMETER::put_to_data_device(DATA_DEVICE* device) {
  // Codes that do not fit the type byte are stored as 255, still a code
  // that holds nothing, so they never read back as a real type.
  if (!device->write_u8(type > 255 ? 255 : static_cast<uint8_t>(type))) return false;
  if (type > POINTER) return true;
  for (const CONTENT& slot : slots)
    if (!write_slot(device, slot)) return false;
  return true;
}

bool PARAMETER::read_slot(DATA_DEVICE* device, CONTENT& c) {
  switch (type) {
    case I8:
    case U8: return device->read_u8(c.u8);
    case I16:
    case U16: return device->read_u16(c.u16);
    case I32:
    case U32:
    case FLOAT: return device->read_u32(c.u32);
    case DOUBLE: return device->read_u64(c.bits);
    case TEXT: {
      uint32_t length = 0;
      if (!device->read_u32(length)) return false;
      if (length == 0) return true;
      c.text = device->read_text(length);
      device->error = c.text == nullptr;
      return c.text != nullptr;
    }
    case POINTER: {
      uint64_t bits = 0;
      if (!device->read_u64(bits)) return false;
      c.pointer = reinterpret_cast<void*>(static_cast<uintptr_t>(bits));
      return true;
    }
    default: return true;
  }
}

bool PARAMETER::get_from_data_device(DATA_DEVICE* device) {
  free_texts();
  uint8_t code = 0;
  if (!device->read_u8(code)) return false;
  // Slots that the stream does not reach are left zero (null texts).
  clear_slots();
  type = code;
  for (CONTENT& slot : slots)
    if (!read_slot(device, slot)) return false;
  clamp();
  return true;
}
