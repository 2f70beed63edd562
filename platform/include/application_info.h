#pragma once
// What the application tells the platform about itself: its name, whether
// the about text closes the program, its window icon and a few settings for
// other platforms that the system report prints. The platform holds a
// default record until the application registers its own.
#include <cstdint>

struct APPLICATION_INFO {
  const char* name;
  uint8_t exit_message;      // show the about text in a box at shutdown
  const char* const* icon;   // XPM lines; null or empty = the built-in icon
  // Settings for other platforms; Linux only reports them.
  uint32_t splash_time;      // milliseconds
  const void* splash_images;
  uint8_t flash_leds;
  uint8_t joystick;
  int16_t mouse_rate;
  uint8_t display_type;
  int16_t icon_id;
  uint8_t console;
  uint8_t memory_check;
  uint8_t rotated;
  uint8_t show_about;
  uint8_t show_preferences;
};

// Registers the application's record; the record must live for the whole
// run (a static one). Safe to call from a static constructor in any order.
// Null brings back the platform's default record.
void set_application_info(const APPLICATION_INFO* info);
const APPLICATION_INFO& get_application_info();

// The application's title as the window and the about text show it: set at
// run time (at most 255 characters kept); while none was set, the name of
// the registered record.
void set_app_title(const char* text);
const char* get_app_title();
