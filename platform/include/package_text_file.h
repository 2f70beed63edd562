#pragma once
// A file stored in a package, opened as a text file through a private copy
// in "$TEMP" (PACKAGE::open_text_file); closed with
// PACKAGE::close_text_file, which stores it back unless it was read only.
#include "package.h"
#include "text_file.h"

class PACKAGE_TEXT_FILE : public TEXT_FILE, public PACKAGE_COPY {
public:
  PACKAGE_TEXT_FILE() = default;
  // A file still open is closed and stored back as close_text_file would.
  ~PACKAGE_TEXT_FILE();
  bool finish();  // close_text_file without the delete
};
