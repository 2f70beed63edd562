#include "package_text_file.h"

PACKAGE_TEXT_FILE::~PACKAGE_TEXT_FILE() {
  if (file) finish();
  if (package) package->forget_copy(this);
}

bool PACKAGE_TEXT_FILE::finish() {
  if (!file) return true;
  bool written = TEXT_FILE::close();
  return PACKAGE::store_copy(*this, written);
}
