#pragma once
// PATCH_XML builds the text of patch.xml, the description a patch installer
// is made from: the older build's settings, the newer build's installer
// clients, per installation type only the files that changed, went or came,
// and every language with its texts. Attribute values are escaped for XML;
// a value without & < > " comes out as it is. Lines are never cut.
#include <string>

#include "database.h"

class PATCH_XML {
public:
  // newer_folder: the folder the newer build was loaded from; the client
  // paths are written relative to it.
  void head(const DATABASE& older, const DATABASE& newer, const FOLDER& newer_folder);
  void begin_installation(const DATABASE_INSTALLATION& installation);
  void changed_file(const DATABASE_FILE& file);  // also an added one
  void deleted_file(const DATABASE_FILE& file);  // kept as a comment
  void end_installation();
  // The languages of the older build and the closing element.
  void finish(const DATABASE& older);

  const std::string& text() const { return document; }

  // & < > and " as entities; nothing else changes.
  static std::string escape(const char* value);

private:
  void add(const std::string& line) { document += line; }
  std::string file_element(const DATABASE_FILE& file) const;

  std::string document;
};
