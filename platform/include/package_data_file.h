#pragma once
// A file stored in a package, opened as a data file through a private copy
// in "$TEMP" (PACKAGE::open_file); closing it with FOLDER::close_data_file
// stores the copy back when it was opened for writing.
#include "data_file.h"
#include "package.h"

class PACKAGE_DATA_FILE : public DATA_FILE, public PACKAGE_COPY {
public:
  PACKAGE_DATA_FILE() = default;
  ~PACKAGE_DATA_FILE() override;
  // Closes the copy, stores it back (modes 1 and 2) and removes it. False,
  // with the last error set and the copy kept, when storing failed.
  bool close() override;
};
