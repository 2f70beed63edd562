// The stored form of the DATABASE ("database.bin", "installer.idx"): a
// version byte, the toolkit's image cache and the background picture, then
// every field in a fixed order. Fields came and went over the versions;
// each read below names the first (and where it ended, the last) version
// that carries it. Counts and lengths are checked against what the device
// still holds before anything is made for them.
#include <cstring>

#include "database.h"
#include "database_look.h"
#include "image_cache.h"
#include "skin_frame.h"

namespace {

// Smallest stored size of each record (in any version), so that a count
// can be checked against the bytes left before records are made for it.
constexpr int64_t kMinInstallation = 4 + 1 + 2 + 2;
constexpr int64_t kMinFile = 3 * 4 + 1 + 2 * 4 + 1 + 4;
constexpr int64_t kMinShortcut = 1 + 3 * 4 + 1 + 6 * 4;
constexpr int64_t kMinLanguage = (1 + 5 + 23 + 9 + 14 + 4) * 4 + 2;  // without installation strings
constexpr int64_t kMinClient = 1 + 1 + FOLDER_PATH_SIZE + 4 + 4 + 1;

// Field-by-field transfers in one direction; every call returns false at
// the first failed transfer.
class READER {
public:
  explicit READER(DATA_DEVICE* device) : device(device) {}

  bool u8(uint8_t& value) { return device->read_u8(value); }
  bool i16(int16_t& value) {
    uint16_t raw = 0;
    if (!device->read_u16(raw)) return false;
    value = static_cast<int16_t>(raw);
    return true;
  }
  bool u16(uint16_t& value) { return device->read_u16(value); }
  bool i32(int32_t& value) { return device->read_i32(value); }
  bool u32(uint32_t& value) { return device->read_u32(value); }
  bool text(char* field, int32_t size) { return device->read_string(field, size); }
  template <size_t N>
  bool text(char (&field)[N]) { return text(field, static_cast<int32_t>(N)); }
  bool object(DATA_DEVICE_CLIENT& client) { return device->read_object(client); }
  // Versions before 16 keep a platform as one code byte.
  bool platform(VORN_STRING& platform, uint8_t version) {
    if (version >= 16) return object(platform);
    uint8_t code = 0;
    if (!u8(code)) return false;
    return platform.set(DATABASE::platform_name_of(code));
  }
  // A stored u16 count, refused when it does not fit the model or when the
  // device cannot hold that many records of at least min_size bytes.
  bool count(int32_t& value, int64_t min_size) {
    uint16_t raw = 0;
    if (!device->read_u16(raw)) return false;
    value = raw;
    const int64_t left = device->bytes_left();
    if (raw > DATABASE::MAX_COUNT || (left >= 0 && raw * min_size > left)) {
      device->error = 1;
      return false;
    }
    return true;
  }
  bool box(DATABASE_BOX& box) {
    return i16(box.x) && i16(box.y) && i16(box.width) && i16(box.height);
  }

  DATA_DEVICE* device;
};

class WRITER {
public:
  explicit WRITER(DATA_DEVICE* device) : device(device) {}

  bool u8(uint8_t value) { return device->write_u8(value); }
  bool i16(int16_t value) { return device->write_u16(static_cast<uint16_t>(value)); }
  bool u16(uint16_t value) { return device->write_u16(value); }
  bool i32(int32_t value) { return device->write_i32(value); }
  bool u32(uint32_t value) { return device->write_u32(value); }
  bool text(const char* field) { return device->write_string(field); }
  bool object(DATA_DEVICE_CLIENT& client) { return device->write_object(client); }
  bool count(size_t value) {
    if (value > static_cast<size_t>(DATABASE::MAX_COUNT)) {
      device->error = 1;
      return false;
    }
    return u16(static_cast<uint16_t>(value));
  }
  bool box(const DATABASE_BOX& box) {
    return i16(box.x) && i16(box.y) && i16(box.width) && i16(box.height);
  }

  DATA_DEVICE* device;
};

bool read_file(READER& in, DATABASE_FILE& file, uint8_t version) {
  if (!in.text(file.src_name) || !in.text(file.src_path_from_xml) ||
      !in.text(file.dest_path_from_inst_loc) || !in.platform(file.platform, version) ||
      !in.text(file.dest_name) || !in.text(file.system_dest_path_from_inst_loc) ||
      !in.u8(file.stamp))
    return false;
  if (version >= 18 && !in.u8(file.switch_user)) return false;
  if (version >= 8 && !in.u8(file.overwrite)) return false;
  return in.text(file.packed_name);
}

bool write_file(WRITER& out, DATABASE_FILE& file) {
  return out.text(file.src_name) && out.text(file.src_path_from_xml) &&
         out.text(file.dest_path_from_inst_loc) && out.object(file.platform) &&
         out.text(file.dest_name) && out.text(file.system_dest_path_from_inst_loc) &&
         out.u8(file.stamp) && out.u8(file.switch_user) && out.u8(file.overwrite) &&
         out.text(file.packed_name);
}

bool read_shortcut(READER& in, DATABASE_SHORTCUT& s, uint8_t version) {
  return in.u8(s.kind) && in.text(s.target) && in.text(s.name) && in.text(s.menu_section) &&
         in.platform(s.platform, version) && in.text(s.arguments) &&
         in.text(s.icon_path_from_inst_loc) && in.text(s.system_icon_path_from_inst_loc) &&
         in.text(s.icon_filename) && in.text(s.target_path_from_inst_loc) &&
         in.text(s.system_target_path_from_inst_loc);
}

bool write_shortcut(WRITER& out, DATABASE_SHORTCUT& s) {
  return out.u8(s.kind) && out.text(s.target) && out.text(s.name) && out.text(s.menu_section) &&
         out.object(s.platform) && out.text(s.arguments) && out.text(s.icon_path_from_inst_loc) &&
         out.text(s.system_icon_path_from_inst_loc) && out.text(s.icon_filename) &&
         out.text(s.target_path_from_inst_loc) && out.text(s.system_target_path_from_inst_loc);
}

bool read_installation(READER& in, DATABASE_INSTALLATION& inst, uint8_t version) {
  int32_t count = 0;
  if (!in.text(inst.name) || !in.u8(inst.allow_system_paths)) return false;
  if (version >= 7 && !in.text(inst.default_path)) return false;
  if (!in.count(count, kMinFile)) return false;
  inst.files.resize(count);
  for (DATABASE_FILE& file : inst.files)
    if (!read_file(in, file, version)) return false;
  if (!in.count(count, kMinShortcut)) return false;
  inst.shortcuts.resize(count);
  for (DATABASE_SHORTCUT& shortcut : inst.shortcuts)
    if (!read_shortcut(in, shortcut, version)) return false;
  if (version < 9) return true;
  return in.text(inst.uninstaller_name) && in.text(inst.uninstaller_filename) &&
         in.text(inst.uninstaller_path) && in.text(inst.uninstaller_syspath);
}

bool write_installation(WRITER& out, DATABASE_INSTALLATION& inst) {
  if (!out.text(inst.name) || !out.u8(inst.allow_system_paths) || !out.text(inst.default_path) ||
      !out.count(inst.files.size()))
    return false;
  for (DATABASE_FILE& file : inst.files)
    if (!write_file(out, file)) return false;
  if (!out.count(inst.shortcuts.size())) return false;
  for (DATABASE_SHORTCUT& shortcut : inst.shortcuts)
    if (!write_shortcut(out, shortcut)) return false;
  return out.text(inst.uninstaller_name) && out.text(inst.uninstaller_filename) &&
         out.text(inst.uninstaller_path) && out.text(inst.uninstaller_syspath);
}

// The first version that stores each language text; 0 for every version.
uint8_t key_since(int key) {
  if (key >= PATH_ERROR_TITLE && key <= PATH_ERROR_BUTTON) return 17;
  if (key == RELEASE_NOTES_TITLE) return 15;
  if (key == INSTALLING_STRING || key == INITIALIZING_STRING) return 3;
  if (key == CHECK_DESKTOP_FAILED_TITLE || key == CHECK_DESKTOP_FAILED) return 9;
  if (key == PATCH_MSG) return 14;
  return 0;
}

bool read_language(READER& in, DATABASE_LANGUAGE& lang, uint8_t version, size_t installations) {
  if (!in.text(lang.texts[LANGUAGE_TITLE])) return false;
  if (version >= 6) {
    if (!in.text(lang.name)) return false;
  } else {
    memcpy(lang.name, lang.texts[LANGUAGE_TITLE], sizeof lang.name);
  }
  for (int key = INSTALLER_TITLE; key < LANGUAGE_KEY_COUNT; ++key)
    if (version >= key_since(key) && !in.text(lang.texts[key])) return false;
  lang.installation_strings.resize(installations);
  for (DATABASE_TEXT& text : lang.installation_strings)
    if (!in.text(text.data(), DATABASE_TEXT_SIZE)) return false;
  if (!in.text(lang.licence.path) || !in.text(lang.licence.filename) ||
      !in.text(lang.readme.path) || !in.text(lang.readme.filename) || !in.i16(lang.readme.lines))
    return false;
  if (version < 15) return true;
  return in.text(lang.release_notes.path) && in.text(lang.release_notes.filename) &&
         in.i16(lang.release_notes.lines);
}

bool write_language(WRITER& out, DATABASE_LANGUAGE& lang, size_t installations) {
  if (!out.text(lang.texts[LANGUAGE_TITLE]) || !out.text(lang.name)) return false;
  for (int key = INSTALLER_TITLE; key < LANGUAGE_KEY_COUNT; ++key)
    if (!out.text(lang.texts[key])) return false;
  // Exactly one text per installation, whatever the language holds.
  for (size_t i = 0; i < installations; ++i)
    if (!out.text(i < lang.installation_strings.size() ? lang.installation_strings[i].data() : ""))
      return false;
  return out.text(lang.licence.path) && out.text(lang.licence.filename) &&
         out.text(lang.readme.path) && out.text(lang.readme.filename) &&
         out.i16(lang.readme.lines) && out.text(lang.release_notes.path) &&
         out.text(lang.release_notes.filename) && out.i16(lang.release_notes.lines);
}

bool read_client(READER& in, DATABASE_INSTALLER_CLIENT& client, uint8_t version) {
  return in.platform(client.platform, version) && in.object(client.path) &&
         in.object(client.filename) && in.object(client.destname) && in.u8(client.compress_data);
}

bool write_client(WRITER& out, DATABASE_INSTALLER_CLIENT& client) {
  return out.object(client.platform) && out.object(client.path) && out.object(client.filename) &&
         out.object(client.destname) && out.u8(client.compress_data);
}

}  // namespace

bool DATABASE::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  const uint8_t look_up = skin_load_flags;
  if (read_stream(device)) return true;
  // Nothing half-read is left for the wizard or the install worker.
  skin_load_flags = look_up;
  clear();
  device->error = 1;
  return false;
}

bool DATABASE::read_stream(DATA_DEVICE* device) {
  clear();
  READER in(device);
  uint8_t v = 0;
  if (!in.u8(v) || !in.object(wm_image_cache())) return false;
  // The skin's pictures all come with the cache just read: the style sets
  // read below take theirs from it, rather than trying every picture name a
  // frame may have at the folders of the machine that built the installer.
  skin_load_flags = IMAGE_CACHE_FIND_ONLY;
  if (!in.object(background_image)) return false;
  if (v >= 10 && !in.i32(settings_value)) return false;
  if (!in.u8(show_frame_rate)) return false;
  if (v >= 2 && !in.u8(show_filenames)) return false;
  if (v >= 3 && !in.u8(show_filepaths)) return false;
  if (!in.u32(file_cache_sz) || !in.text(default_language_name) || !in.i16(window.width) ||
      !in.i16(window.height) || !in.u8(window.fullscreen) || !in.u8(window.show_bg_title) ||
      !in.box(dialog) || !in.i16(dialog.button_gap))
    return false;
  if (v < 4) {
    if (!in.i16(exit.width) || !in.i16(exit.height) || !in.i16(error.width) ||
        !in.i16(error.height))
      return false;
  } else if (!in.u8(dialog.can_drag) || !in.box(exit) || !in.u8(exit.can_drag) ||
             !in.box(error) || !in.u8(error.can_drag) || !in.box(file_select) ||
             !in.u8(file_select.new_folder_too) || !in.u8(file_select.can_drag) ||
             !in.box(about) || !in.u8(about.can_drag)) {
    return false;
  }
  if (!in.text(background.path) || !in.text(background.filename) || !in.i32(background.speed) ||
      !in.i16(background.width) || !in.i16(background.height) ||
      !in.i16(background.start_offset_ms) || !in.text(log.dest_path_from_inst_loc) ||
      !in.text(log.system_dest_path_from_inst_loc))
    return false;
  if (v >= 13 && (!in.text(patch.dest_path_from_inst_loc) ||
                  !in.text(patch.system_dest_path_from_inst_loc) || !in.u8(patch.do_check)))
    return false;

  if (!read_database_look(*this, device, v) || !in.text(application.version) ||
      !in.i32(application.build_number) || !in.text(application.app_string))
    return false;
  if (v >= 8 && !in.i32(time_stamp)) return false;
  if (v >= 9 && (!in.i16(check_desktop_size.width) || !in.i16(check_desktop_size.height)))
    return false;

  int32_t count = 0;
  if (!in.count(count, kMinInstallation)) return false;
  installations.resize(count);
  for (DATABASE_INSTALLATION& inst : installations)
    if (!read_installation(in, inst, v)) return false;
  if (!in.count(count, kMinLanguage + 4 * static_cast<int64_t>(installations.size())))
    return false;
  languages.resize(count);
  for (size_t i = 0; i < languages.size(); ++i) {
    if (!read_language(in, languages[i], v, installations.size())) return false;
    if (strcmp(languages[i].name, default_language_name) == 0)
      current_language = static_cast<int16_t>(i);
  }
  if (v >= 11 && !in.text(skin_path)) return false;
  if (v >= 12) {
    if (!in.count(count, kMinClient)) return false;
    installer_clients.resize(count);
    for (DATABASE_INSTALLER_CLIENT& client : installer_clients)
      if (!read_client(in, client, v)) return false;
  }

  // Names that would split log lines or reach a terminal as escape
  // sequences mean damaged data.
  if (!control_character_name().empty()) return false;
  if (next_page_after_start) current_page = next_page_after_start(*this);
  return true;
}

bool DATABASE::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  return write_stream(device);
}

bool DATABASE::write_stream(DATA_DEVICE* device) {
  WRITER out(device);
  if (!out.u8(STORED_VERSION) || !out.object(wm_image_cache()) || !out.object(background_image) ||
      !out.i32(settings_value) || !out.u8(show_frame_rate) || !out.u8(show_filenames) ||
      !out.u8(show_filepaths) || !out.u32(file_cache_sz) || !out.text(default_language_name) ||
      !out.i16(window.width) || !out.i16(window.height) || !out.u8(window.fullscreen) ||
      !out.u8(window.show_bg_title) || !out.box(dialog) || !out.i16(dialog.button_gap) ||
      !out.u8(dialog.can_drag) || !out.box(exit) || !out.u8(exit.can_drag) || !out.box(error) ||
      !out.u8(error.can_drag) || !out.box(file_select) || !out.u8(file_select.new_folder_too) ||
      !out.u8(file_select.can_drag) || !out.box(about) || !out.u8(about.can_drag) ||
      !out.text(background.path) || !out.text(background.filename) ||
      !out.i32(background.speed) || !out.i16(background.width) || !out.i16(background.height) ||
      !out.i16(background.start_offset_ms) || !out.text(log.dest_path_from_inst_loc) ||
      !out.text(log.system_dest_path_from_inst_loc) || !out.text(patch.dest_path_from_inst_loc) ||
      !out.text(patch.system_dest_path_from_inst_loc) || !out.u8(patch.do_check))
    return false;
  if (!write_database_look(*this, device) || !out.text(application.version) ||
      !out.i32(application.build_number) || !out.text(application.app_string) ||
      !out.i32(time_stamp) || !out.i16(check_desktop_size.width) ||
      !out.i16(check_desktop_size.height) || !out.count(installations.size()))
    return false;
  for (DATABASE_INSTALLATION& inst : installations)
    if (!write_installation(out, inst)) return false;
  if (!out.count(languages.size())) return false;
  for (DATABASE_LANGUAGE& lang : languages)
    if (!write_language(out, lang, installations.size())) return false;
  if (!out.text(skin_path) || !out.count(installer_clients.size())) return false;
  for (DATABASE_INSTALLER_CLIENT& client : installer_clients)
    if (!write_client(out, client)) return false;
  return true;
}
