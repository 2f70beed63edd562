#pragma once
// A small typed value with a minimum and a maximum of the same type: a
// label's text, a scroll bar's position and range, a grid's settings. It
// converts to and from integers, doubles, pointers and text, pulls a number
// back into its range after every change, and stores itself on a DATA_DEVICE.
#include <cstddef>
#include <cstdint>

#include "data_device.h"

class PARAMETER : public DATA_DEVICE_CLIENT {
public:
  // Type codes, as stored. Codes above POINTER hold nothing: conversions
  // give 0 or do nothing, and the stored form is the type byte alone.
  enum TYPE : uint32_t {
    I8 = 0,
    U8 = 1,
    I16 = 2,
    U16 = 3,
    I32 = 4,
    U32 = 5,
    FLOAT = 6,
    DOUBLE = 7,
    TEXT = 8,     // each slot an owned copy or null; the bounds are not bounds
    POINTER = 9,  // never owned; the stored value means nothing in another run
  };
  // The slot an accessor works on.
  enum SLOT : uint8_t { VALUE = 0, MINIMUM = 1, MAXIMUM = 2 };

  // Type TEXT holding a copy of text (null gives ""), bounds null.
  explicit PARAMETER(const char* text = nullptr);
  PARAMETER(const PARAMETER& other);  // copies the texts
  PARAMETER& operator=(const PARAMETER& other);
  ~PARAMETER() override;

  // Frees what the old type owned. TEXT sets every slot to "", the number
  // types and POINTER set them to 0; other codes leave the slots alone.
  void set_type(uint32_t code);
  uint32_t get_type() const { return type; }

  // Numbers convert by their own signedness; floating values truncate toward
  // zero and saturate (NaN gives 0); text is parsed ("%d", "%u", "%lf",
  // "%p"), a null or unparsable text giving 0.
  int32_t get_int(SLOT slot) const;
  uint32_t get_unsigned(SLOT slot) const;  // floating values through 64 bits
  double get_double(SLOT slot) const;
  void* get_pointer(SLOT slot) const;
  // Length of a TEXT slot's text; 0 for null and for every other type.
  uint32_t get_length(SLOT slot) const;
  // The text itself for TEXT (null or not), else null.
  const char* get_text(SLOT slot) const;

  // At most size - 1 characters and a terminator ("%hd", "%hu", "%d", "%u",
  // "%.2f", the text, "%p" by type); nothing for size 0 or codes above 9.
  void to_string(SLOT slot, char* buffer, size_t size) const;

  // Each stores in the slot's type (a TEXT slot gets a new text: "%d", "%u",
  // "%.2lf", "%p") and then pulls the value into its range.
  void set_int(SLOT slot, int32_t number);
  void set_unsigned(SLOT slot, uint32_t number);
  void set_double(SLOT slot, double number);
  void set_pointer(SLOT slot, void* pointer);
  // Parses by type ("%hd"/"%hu" then the low byte for I8/U8, "%f", "%lf");
  // TEXT keeps a copy (null gives ""), POINTER keeps text itself as the
  // pointer (an alias, not a copy).
  void set_from_string(SLOT slot, const char* text);

  // Type byte, then value, minimum and maximum: 1, 2, 4 or 8 bytes by type
  // (a float as its 32 bits, a double and a pointer as 64), a text as a u32
  // length and its bytes. Reading fails on a short stream or a text longer
  // than what remains, leaving that slot null.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

private:
  union CONTENT {
    uint64_t bits;  // first, so that {} zeroes all 8 bytes
    int8_t i8;
    uint8_t u8;
    int16_t i16;
    uint16_t u16;
    int32_t i32;
    uint32_t u32;
    float f32;
    double f64;
    char* text;
    void* pointer;
  };

  void free_texts();
  void clear_slots();
  void store_integer(CONTENT& content, int64_t number);
  void replace_text(CONTENT& content, const char* text);
  void clamp();
  bool read_slot(DATA_DEVICE* device, CONTENT& content);
  bool write_slot(DATA_DEVICE* device, const CONTENT& content) const;

  uint32_t type = TEXT;
  CONTENT slots[3] = {};
};
