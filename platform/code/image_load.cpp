// Loading pictures by name: the choice of decoder, the raw form on disk and
// strips of numbered pictures.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "data_file.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"

namespace {

bool same_text_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b)))
      return false;
  }
  return *a == *b;
}

// A strip's name format must hold exactly one integer conversion (flags,
// width and precision allowed) and nothing else but "%%".
bool is_number_format(const char* format) {
  int conversions = 0;
  for (const char* p = format; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p && strchr("-+ #0", *p)) ++p;
    while (*p && std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (*p == '.') {
      ++p;
      while (*p && std::isdigit(static_cast<unsigned char>(*p))) ++p;
    }
    if (!*p || !strchr("diuxXo", *p)) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

bool IMAGE::load_raw_file(const FOLDER& folder, const char* name, bool skip_exists_test) {
  if (!name || !*name) return false;
  if (!skip_exists_test && !file_exists(folder, name)) return false;
  DATA_FILE* file = folder.open_data_file(name, 0, 255, false);
  if (!file) return false;
  bool ok = get_from_data_device(file);
  FOLDER::close_data_file(file);
  return ok;
}

bool IMAGE::load(const FOLDER& folder, const char* name, int16_t w, int16_t h) {
  bool loaded = false;
  size_t length = name ? strlen(name) : 0;
  if (length > 0 && length <= IMAGE_MAX_NAME) {
    // 1. The extension chooses the decoder.
    if (length > 4 && name[length - 4] == '.') {
      const char* extension = name + length - 4;
      if (same_text_ignoring_case(extension, ".png"))
        loaded = load_png_file(folder, name);
      else if (same_text_ignoring_case(extension, ".pcx"))
        loaded = load_pcx_file(folder, name);
      else if (same_text_ignoring_case(extension, ".jpg"))
        loaded = load_jpeg_file(folder, name, w, h);
      else if (same_text_ignoring_case(extension, ".raw"))
        loaded = load_raw_file(folder, name);
    }

    // 2. The name with each extension appended, where such a file exists.
    static const char* const kExtensions[] = {".png", ".jpg", ".pcx", ".raw"};
    char with_extension[256];
    for (int k = 0; k < 4 && !loaded; ++k) {
      std::snprintf(with_extension, sizeof(with_extension), "%s%s", name, kExtensions[k]);
      if (!file_exists(folder, with_extension)) continue;
      switch (k) {
        case 0:
          loaded = load_png_file(folder, with_extension, true);
          break;
        case 1:
          loaded = load_jpeg_file(folder, with_extension, w, h, true);
          break;
        case 2:
          loaded = load_pcx_file(folder, with_extension, true);
          break;
        default:
          loaded = load_raw_file(folder, with_extension, true);
          break;
      }
    }

    // 3. The name itself, through every decoder in turn.
    if (!loaded && file_exists(folder, name)) {
      loaded = load_png_file(folder, name, true) || load_jpeg_file(folder, name, w, h, true) ||
               load_pcx_file(folder, name, true) || load_raw_file(folder, name, true);
    }
  }

  if (!loaded) {
    create(0, 0);
    return false;
  }
  scale(static_cast<uint16_t>(w), static_cast<uint16_t>(h), !fast_image_scaling);
  return true;
}

bool IMAGE::load_strip(const FOLDER& folder, const char* name_format, uint16_t first,
                       uint16_t last) {
  create(0, 0);
  if (!name_format || !is_number_format(name_format)) return false;
  if (last != 65535 && first > last) return false;

  IMAGE* head = nullptr;
  IMAGE* tail = nullptr;
  int32_t total_width = 0, tallest = 0;
  char name[256];
  for (uint32_t number = first; number <= last; ++number) {
    int n = std::snprintf(name, sizeof(name), name_format, static_cast<int>(number));
    IMAGE* picture = new IMAGE();
    bool ok = n > 0 && static_cast<size_t>(n) < sizeof(name) && picture->load(folder, name, -1, -1);
    if (!ok) {
      delete picture;
      if (last == 65535) break;
      continue;
    }
    if (tail)
      tail->next = picture;
    else
      head = picture;
    tail = picture;
    total_width += picture->width;
    if (picture->height > tallest) tallest = picture->height;
    if (number == 65535) break;
  }

  // Pictures of different widths sit side by side without gaps or overlap:
  // the strip is as wide as all of them and as high as the tallest.
  bool ok = head && total_width >= 1 && total_width <= IMAGE_MAX_SIZE && tallest >= 1;
  if (ok && create(static_cast<int16_t>(total_width), static_cast<int16_t>(tallest)) && pixels) {
    std::fill_n(pixels, pixel_count, COLOUR_INVISIBLE);
    int32_t at = 0;
    for (IMAGE* p = head; p; p = p->next) {
      blit(p, 0, 0, static_cast<int16_t>(x + at), y, p->width, p->height, BLIT_COPY);
      at += p->width;
    }
  } else {
    ok = false;
    create(0, 0);
  }
  while (head) {
    IMAGE* following = head->next;
    delete head;
    head = following;
  }
  return ok;
}
