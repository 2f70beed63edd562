#pragma once
// The X11 CLIPBOARD as the program sees it: text that the program offers
// to other programs, and text fetched from whichever program owns the
// clipboard. Text is the system's 8-bit form; other programs see UTF-8
// (or Latin-1 when they ask for STRING).
#include <cstdint>

// Keeps a copy of the text and makes the window the clipboard's owner;
// null gives the text up.
void set_clipboard_text(const char* text);
// The program's own text, or the clipboard owner's converted into system
// text: at most size - 1 bytes, cut on a character boundary and
// zero-terminated. False when no text came.
bool get_clipboard_text(char* buffer, int32_t size);
// Whether some text can be fetched (get_clipboard_text into 2 bytes).
bool has_clipboard_text();
// The program's own text, null when it offers none.
const char* get_own_clipboard_text();
// Frees the program's own text without touching the selection (shutdown).
void free_clipboard_text();
