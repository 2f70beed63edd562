#include "package_data_file.h"

// The copy in $TEMP goes back into the package when the file is closed.
// DATA_FILE's own destructor cannot do that (it only sees a DATA_FILE), so
// a file that was never closed is closed here.
PACKAGE_DATA_FILE::~PACKAGE_DATA_FILE() {
  if (file) close();
  if (package) package->forget_copy(this);
}

bool PACKAGE_DATA_FILE::close() {
  if (!file) return true;
  bool written = DATA_FILE::close();
  return PACKAGE::store_copy(*this, written);
}
