#include "patch_xml.h"

#include "string_utils.h"

namespace {

std::string value(const char* text) { return PATCH_XML::escape(text); }
std::string value(const VORN_STRING& text) { return PATCH_XML::escape(text.get_text()); }
const char* yes(uint8_t flag) { return flag ? "yes" : "no"; }

// A language text keeps its line breaks as character references, so that
// the attribute reads back with them.
std::string language_text(const char* text) { return xml_escape_newlines(value(text).c_str()); }

}  // namespace

std::string PATCH_XML::escape(const char* text) {
  std::string out;
  for (const char* c = text ? text : ""; *c; ++c) {
    switch (*c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *c;
    }
  }
  return out;
}

void PATCH_XML::head(const DATABASE& older, const DATABASE& newer, const FOLDER& newer_folder) {
  const DATABASE& d = older;
  add(format_text("<INSTALLER show_frame_rate=\"%s\" show_filenames=\"%s\" show_filepaths=\"%s\" "
                  "file_cache_sz=\"%u\"  default_language_name=\"%s\">\n",
                  yes(d.show_frame_rate), yes(d.show_filenames), yes(d.show_filepaths),
                  d.file_cache_sz, value(d.default_language_name).c_str()));
  add("\n");
  add(format_text("\t<APPLICATION version=\"%s\" build_number=\"%d\" app_string=\"%s\"/>\n",
                  value(d.application.version).c_str(), d.application.build_number,
                  value(d.application.app_string).c_str()));
  add(format_text("\t<WINDOW width=\"%hd\" height=\"%hd\" fullscreen=\"%s\" show_bg_title=\"%s\"/>\n",
                  d.window.width, d.window.height, yes(d.window.fullscreen),
                  yes(d.window.show_bg_title)));
  add(format_text("\t<DIALOG x=\"%hd\" y=\"%hd\" width=\"%hd\" height=\"%hd\" button_gap=\"%hd\" "
                  "can_drag=\"%s\"/>\n",
                  d.dialog.x, d.dialog.y, d.dialog.width, d.dialog.height, d.dialog.button_gap,
                  yes(d.dialog.can_drag)));
  const auto box = [this](const char* element, const DATABASE_BOX& b) {
    add(format_text("\t<%s x=\"%hd\" y=\"%hd\" width=\"%hd\" height=\"%hd\" can_drag=\"%s\"/>\n",
                    element, b.x, b.y, b.width, b.height, yes(b.can_drag)));
  };
  box("EXIT", d.exit);
  box("ERROR", d.error);
  add(format_text("\t<FILE_SELECT x=\"%hd\" y=\"%hd\" width=\"%hd\" height=\"%hd\" "
                  "new_folder_too=\"%s\" can_drag=\"%s\"/>\n",
                  d.file_select.x, d.file_select.y, d.file_select.width, d.file_select.height,
                  yes(d.file_select.new_folder_too), yes(d.file_select.can_drag)));
  box("ABOUT", d.about);
  add(format_text("\t<BACKGROUND path=\"%s\" filename=\"%s\" speed=\"%d\" width=\"%hd\" "
                  "height=\"%hd\" start_offset_ms=\"%hd\"/>\n",
                  value(d.background.path).c_str(), value(d.background.filename).c_str(),
                  d.background.speed, d.background.width, d.background.height,
                  d.background.start_offset_ms));
  add(format_text("\t<SKIN path=\"%s\"/>\n",
                  value(d.skin_path[0] ? d.skin_path : newer.skin_path).c_str()));
  // The patch installer logs beside the older installation's log, and
  // finds that installation by the log it left there.
  const std::string log = value(d.log.dest_path_from_inst_loc);
  const std::string system_log = value(d.log.system_dest_path_from_inst_loc);
  add(format_text("\t<LOG dest_path_from_inst_loc=\"%s/patch\" "
                  "system_dest_path_from_inst_loc=\"%s/patch\"/>\n",
                  log.c_str(), system_log.c_str()));
  add(format_text("\t<PATCH dest_path_from_inst_loc=\"%s\" system_dest_path_from_inst_loc=\"%s\" "
                  "do_check=\"yes\"/>\n",
                  log.c_str(), system_log.c_str()));
  add(format_text("\t<CHECK_DESKTOP_SIZE width=\"%hd\" height=\"%hd\"/>\n",
                  d.check_desktop_size.width, d.check_desktop_size.height));
  for (const DATABASE_INSTALLER_CLIENT& client : newer.installer_clients) {
    char path[FOLDER_PATH_SIZE];
    if (!client.path.get_path_text(path, sizeof path, &newer_folder)) path[0] = '\0';
    add(format_text("\t<INSTALLER_CLIENT path=\"%s\" filename=\"%s\" destname=\"%s\" "
                    "platform=\"%s\" compress_data=\"%s\"/>\n",
                    value(path).c_str(), value(client.filename).c_str(),
                    value(client.destname).c_str(), value(client.platform).c_str(),
                    yes(client.compress_data)));
  }
  add("\n");
}

void PATCH_XML::begin_installation(const DATABASE_INSTALLATION& installation) {
  add(format_text("\t<INSTALLATION name=\"%s\" allow_system_paths=\"%s\" default_path=\"%s\">\n",
                  value(installation.name).c_str(), yes(installation.allow_system_paths),
                  value(installation.default_path).c_str()));
  add("\n");
}

// The record's own overwrite rule is not carried over: a patch always
// replaces what it installs.
std::string PATCH_XML::file_element(const DATABASE_FILE& file) const {
  return format_text(
      "\t\t<FILE platform=\"%s\" src_name=\"%s\" dest_name=\"%s\" src_path_from_xml=\"%s\" "
      "dest_path_from_inst_loc=\"%s\" system_dest_path_from_inst_loc=\"%s\" stamp=\"%s\" "
      "switch_user=\"%s\" overwrite=\"always\"/>\n",
      value(file.platform).c_str(), value(file.src_name).c_str(), value(file.dest_name).c_str(),
      value(file.src_path_from_xml).c_str(), value(file.dest_path_from_inst_loc).c_str(),
      value(file.system_dest_path_from_inst_loc).c_str(), yes(file.stamp),
      yes(file.switch_user));
}

void PATCH_XML::changed_file(const DATABASE_FILE& file) { add(file_element(file)); }

void PATCH_XML::deleted_file(const DATABASE_FILE& file) {
  add("\t\t<!-- Deleted files not supported\n");
  add(file_element(file));
  add("\t\t-->\n");
}

void PATCH_XML::end_installation() { add("\n\t</INSTALLATION>\n\n"); }

void PATCH_XML::finish(const DATABASE& older) {
  for (const DATABASE_LANGUAGE& language : older.languages) {
    add(format_text("\t<LANGUAGE name=\"%s\">\n", value(language.name).c_str()));
    add("\n");
    for (int key = 0; key < LANGUAGE_KEY_COUNT; ++key)
      add(format_text("\t\t<%s string=\"%s\"/>\n", LANGUAGE_KEY_NAMES[key],
                      language_text(language.texts[key]).c_str()));
    for (size_t i = 0; i < older.installations.size(); ++i) {
      const char* shown =
          i < language.installation_strings.size() ? language.installation_strings[i].data() : "";
      add(format_text("\t\t<INSTALLATION name=\"%s\" string=\"%s\"/>\n",
                      value(older.installations[i].name).c_str(), value(shown).c_str()));
    }
    add("\n");
    add(format_text("\t\t<LICENCE path=\"%s\" filename=\"%s\"/>\n",
                    value(language.licence.path).c_str(), value(language.licence.filename).c_str()));
    add(format_text("\t\t<README path=\"%s\" filename=\"%s\" lines=\"%hd\"/>\n",
                    value(language.readme.path).c_str(), value(language.readme.filename).c_str(),
                    language.readme.lines));
    add(format_text("\t\t<RELEASE_NOTES path=\"%s\" filename=\"%s\" lines=\"%hd\"/>\n",
                    value(language.release_notes.path).c_str(),
                    value(language.release_notes.filename).c_str(), language.release_notes.lines));
    add("\n\t</LANGUAGE>\n\n");
  }
  add("</INSTALLER>\n");
}
