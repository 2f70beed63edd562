#pragma once
// WM_ABOUT is the toolkit's about box: the built-in logo, the platform's
// about text in a text window whose lines open the product's web page when
// clicked, and a "Close" button. It deletes itself once closed.
#include <cstdint>

#include "wm_dialog.h"

class WM_BUTTON;
class WM_TEXT_WIN;

class WM_ABOUT : public WM_DIALOG {
public:
  // Kept free of quotes: it goes into a shell command in single quotes.
  static constexpr const char* WEB_ADDRESS = "http://www.vorn-libraries.example.org/";
  static constexpr int16_t DEFAULT_WIDTH = 440;
  static constexpr int16_t DEFAULT_HEIGHT = 320;
  // Callback words: which part was clicked.
  static constexpr uintptr_t CLOSE_CLICKED = 1;
  static constexpr uintptr_t TEXT_CLICKED = 2;

  // -1 sizes take the defaults; x or y of -1 centres.
  WM_ABOUT(int16_t x = -1, int16_t y = -1, int16_t w = -1, int16_t h = -1);

  // Close: 2 on the button's activation. Text: opens the web page.
  static int32_t on_click(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2);

  WM_BUTTON* close_button = nullptr;  // a child of the client area
  WM_TEXT_WIN* text_window = nullptr;  // likewise
};
