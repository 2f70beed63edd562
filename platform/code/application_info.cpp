// The registered application record and the application title.
#include "application_info.h"

#include <cstring>

namespace {

// Both are constant-initialised, so an application's static constructor may
// register its record before or after this file's statics run.
constinit const APPLICATION_INFO default_info = {
    "V.O.R.N. Application", 0, nullptr, 0, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
constinit const APPLICATION_INFO* registered_info = nullptr;
constinit char app_title[256] = {};

}  // namespace

void set_application_info(const APPLICATION_INFO* info) { registered_info = info; }

const APPLICATION_INFO& get_application_info() {
  return registered_info ? *registered_info : default_info;
}

void set_app_title(const char* text) {
  if (!text) text = "";
  size_t length = strnlen(text, sizeof app_title - 1);
  memcpy(app_title, text, length);
  app_title[length] = 0;
}

const char* get_app_title() {
  if (app_title[0]) return app_title;
  const char* name = get_application_info().name;
  return name ? name : "";
}
