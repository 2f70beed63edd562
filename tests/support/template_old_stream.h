#pragma once
// A template stream of an older version written field by field from the
// stored layout: one area with one page, a button with a text child, and
// from version 8 on one record in each array. Each version writes only
// what it stores; the version tests and the fuzz seeds use it.
#include <initializer_list>
#include <string>

#include "folder.h"
#include "memory_device.h"
#include "parameter.h"
#include "template_stream.h"
#include "wm_style_set.h"

namespace template_test {

constexpr uint32_t kPageId = 0xAB;
constexpr uint32_t kHotkey = 0xFF0D;

// A stream of version v that writes only what v stores.
struct OLD_STREAM {
  explicit OLD_STREAM(uint16_t v) : v(v) {}
  const uint16_t v;
  test_support::MEMORY_DEVICE d;
  WM_STYLE_SET plain;

  void effects(uint16_t flags, std::initializer_list<uint8_t> bytes) {
    if (v >= 25) {
      d.write_u16(flags);
      d.write_i32(11);
      d.write_i32(12);
      d.write_u8(13);
    } else {
      for (uint8_t b : bytes) d.write_u8(b);
    }
  }

  // A text child: old type 0 up to version 12 (read as a text object).
  void legacy_text_child() {
    d.write_u32(0);
    d.write_u32(2);  // shading type
    for (int i = 0; i < 3; i++) d.write_u32(0);
    d.write_u8(1);
    for (int i = 0; i < 4; i++) d.write_u16(0);
    if (v >= 2) {
      d.write_string(nullptr);
      d.write_string(nullptr);
    }
    d.write_string("hi");
    for (uint32_t colour : {0xFF000001u, 0xFF000002u, 0xFF000003u}) d.write_u32(colour);
    d.write_u16(0x0005);  // draw border and indent border, the old way
    d.write_u16(15);
    if (v >= 6) {
      d.write_u8(2);
      d.write_u16(12);
      d.write_u16(14);
    }
    d.write_u32(0);
  }

  void legacy_button() {
    d.write_u32(2);
    d.write_u32(3);  // shading type
    d.write_u32(5);
    d.write_u32(6);
    d.write_u32(0);
    d.write_u8(1);
    for (uint16_t part : {10, 20, 100, 30}) d.write_u16(part);
    if (v >= 2) {
      d.write_string("AID_GO");
      d.write_string(nullptr);
    }
    d.write_string("Go");
    if (v == 7) d.write_string("tip");
    for (uint32_t colour = 0xFF000010; colour < 0xFF000016; colour++) d.write_u32(colour);
    d.write_u32(0);  // ignored
    // Left-justified text, the shadow border, plus chiseled text where the
    // flags are wide enough to hold it.
    if (v <= 4) d.write_u16(0x1201);
    else d.write_u32(0x11201);
    d.write_u16(0x8000);  // shading flags, negative as i16
    d.write_u8(0);
    d.write_u8(1);  // the hot-key bit
    if (v >= 3) d.write_string("btn");
    if (v >= 4) d.write_u8(0);
    if (v >= 6) {
      d.write_u8(2);
      d.write_u16(12);
      d.write_u16(14);
    }
    d.write_u32(1);
    legacy_text_child();
  }

  void text_child() {
    if (v >= 22) d.write_u8(0);
    d.write_u32(v <= 12 ? 0 : 16);
    d.write_string(nullptr);
    d.write_u32(0);
    d.write_u32(0);
    d.write_string(nullptr);
    d.write_u32(0);
    for (int i = 0; i < 4; i++) d.write_u16(0);
    if (v >= 11 && v <= 17) d.write_u32(0);
    d.write_u8(0);
    d.write_string("hi");
    if (v >= 26) d.write_string("child");
    d.write_i32(-1);
    if (v >= 21) d.write_u32(0);
    d.write_string(nullptr);
    d.write_u8(1);
    if (v >= 12) d.write_u8(2);
    else d.write_u32(1);
    if (v >= 19) d.write_u8(0);
    if (v >= 12) d.write_u8(2);
    else d.write_u32(1);
    d.write_u8(1);
    if (v >= 17) d.write_i32(-1);
    if (v >= 21) {
      d.write_u16(20);
      d.write_u16(1);
      d.write_string(nullptr);
      d.write_i32(-1);
    }
    if (v >= 20) {
      d.write_u16(0xFFFF);
      d.write_u16(0xFFFF);
    }
    d.write_u32(0);
  }

  void button() {
    if (v <= 7) return legacy_button();
    if (v >= 22) d.write_u8(0);
    d.write_u32(2);  // a button in the old numbering and the new
    d.write_string("AID_GO");
    d.write_u32(5);
    d.write_u32(6);
    d.write_string(nullptr);
    d.write_u32(0);
    for (uint16_t part : {10, 20, 100, 30}) d.write_u16(part);
    if (v >= 11 && v <= 17) d.write_u32(0xDEAD);  // ignored
    d.write_u8(0);
    d.write_string("Go");
    if (v >= 26) d.write_string("Go button");
    d.write_i32(0);  // the first style set
    if (v >= 21) d.write_u32(0xABCD);
    d.write_string("tip");
    d.write_u8(1);
    if (v >= 12) d.write_u8(3);
    else d.write_u32(1);  // kind 1 of old: 2
    if (v >= 19) {
      d.write_u8(1);
      d.write_i32(static_cast<int32_t>(kHotkey));
    }
    if (v >= 12) d.write_u8(1);
    else d.write_u32(0);  // image mode 0 of old: 1
    d.write_u8(0);        // the image hidden
    if (v >= 17) d.write_i32(-1);
    if (v >= 21) {
      d.write_u16(0);
      d.write_u16(2);
      d.write_string("1,2");
      d.write_i32(-1);
    }
    if (v >= 20) {
      d.write_u16(4);  // the cell of a parent grid
      d.write_u16(1);
    }
    d.write_u32(1);
    text_child();
  }

  void areas() {
    d.write_u32(1);
    d.write_string("A");
    for (uint16_t part : {1, 2, 300, 200}) d.write_u16(part);
    d.write_i32(-2);
    d.write_u32(1);
    d.write_u32(kPageId);
    d.write_string("P");
    if (v <= 16) {
      d.write_string("back.png");
    } else {
      d.write_i32(0);  // the first image
      d.write_u32(3);
    }
    if (v >= 26) d.write_string("page text");
    d.write_u32(1);
    button();
    if (v >= 8 && v <= 17) d.write_u16(0);
  }

  void arrays() {
    d.write_u32(1);
    WM_STYLE_SET style;
    style.set_name("S");
    d.write_object(style);
    d.write_u32(0);  // fonts
    d.write_u32(1);
    d.write_string("C");
    d.write_u32(0xFF123456);
    d.write_u32(1);
    d.write_string("I");
    d.write_string("i.png");
    if (v >= 16) {
      char path[TEMPLATE_PATH_SIZE] = "$APPDATA/pics";
      d.write(path, sizeof path);
    } else if (v >= 10) {
      FOLDER folder;  // the program's folder
      d.write_object(folder);
    }
    d.write_u32(1);
    d.write_string("K");
    if (v >= 17) {
      PARAMETER value("x");
      d.write_object(value);
    } else {
      d.write_u32(42);
    }
    if (v >= 24) {
      d.write_u32(1);
      d.write_string("D");
      d.write_string("Sure?");
      for (uint16_t part : {0xFFFF, 0xFFFF, 200, 100}) d.write_u16(part);
      d.write_u32(0);
    }
  }

  // The store body of version v.
  std::string body() {
    d.write_string("Old");
    d.write_u16(640);
    d.write_u16(480);
    d.write_u8(1);
    d.write_u8(3);
    d.write_i32(300);
    if (v >= 17) d.write_u32(4);
    for (uint32_t colour : {0xFF010101u, 0xFF020202u, 0xFF030303u}) d.write_u32(colour);
    if (v <= 7) {
      for (uint32_t colour = 0xFF000011; colour <= 0xFF000018; colour++) d.write_u32(colour);
      d.write_u8(0);
      areas();
      if (v >= 1) d.write_u32(9);
      return d.text();
    }
    d.write_u8(1);
    if (v >= 23) {
      d.write_u8(0);
      d.write_u8(2);
    }
    d.write_u16(77);
    d.write_u32(4);
    d.write_u32(0xFF040404);
    d.write_u32(0xFF050505);
    if (v <= 17) d.write_u16(0);
    d.write_u32(1);
    effects(0x11, {1, 0, 1, 1});
    effects(0x22, {0, 1, 0, 0});
    d.write_object(plain);
    if (v >= 25) {
      d.write_u16(0x33);
      d.write_i32(1);
      d.write_i32(2);
      d.write_u8(3);
    }
    for (int i = 0; i < 3; i++) d.write_object(plain);
    // Neighbouring bytes differ, so that fields read or written in each
    // other's place show.
    d.write_u8(0);                // live drag
    if (v >= 25) d.write_u8(2);   // draggable
    d.write_u8(3);                // the first backdrop switch
    if (v >= 18) d.write_u8(1);
    if (v == 8) areas();
    arrays();
    if (v >= 9) areas();
    return d.text();
  }
};

}  // namespace template_test
