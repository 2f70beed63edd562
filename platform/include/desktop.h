#pragma once
// Desktop integration: links on the user's desktop (freedesktop ".desktop"
// files), entries in the desktop's application menu (a Debian menu file for
// update-menus and files handed to xdg-desktop-menu), and opening files and
// web addresses with the desktop's viewer or the user's browser.
#include <cstdint>

#include "folder.h"

// Shortcut kinds.
enum : uint8_t {
  SHORTCUT_APPLICATION = 1,
  SHORTCUT_WEB_LINK = 2,
  SHORTCUT_TEXT_FILE = 3,
};

// Desktop kinds.
enum : int {
  DESKTOP_OTHER = 0,
  DESKTOP_KDE = 1,
  DESKTOP_GNOME = 2,
};

// The user's desktop folder: XDG_DESKTOP_DIR of user-dirs.dirs in
// $XDG_CONFIG_HOME (else ~/.config), else ~/Desktop. False when that folder
// does not exist or the file names the home folder itself (no desktop).
bool get_desktop_folder(FOLDER* folder);

// Writes "<name>.desktop" into the desktop folder, every character of the
// name but letters and digits replaced by "_". The target is
// target_folder/target (the target alone without a folder); arguments may
// be null; the icon is icon_folder/icon_name when both are given. Returns 1
// when the file was written whole, 0 otherwise (also without a desktop
// folder).
int create_desktop_shortcut(uint8_t kind, const char* target, const char* arguments,
                            const char* name, const FOLDER* icon_folder, const char* icon_name,
                            const FOLDER* target_folder);

// Adds the entry to the application menu under the "/"-separated section:
// a Debian menu file "local.<section>_<name>.desktop" in /usr/lib/menu (or
// ~/.menu), then xdg-desktop-menu and update-menus where they exist.
// Returns 1 when the menu got the entry: xdg-desktop-menu installed it, or
// where that tool is missing the menu file was written whole; else 0.
int create_os_menu_shortcut(uint8_t kind, const char* target, const char* arguments,
                             const char* name, const char* menu_section,
                             const FOLDER* icon_folder, const char* icon_name,
                             const FOLDER* target_folder);

// Removes the desktop link of that display name from the desktop folder: 0
// when it is gone (or was never there), 1 when it could not be removed.
int remove_desktop_shortcut(const char* name);

// Removes the menu entry and returns update-menus' exit status.
int remove_os_menu_shortcut(const char* name, const char* menu_section);

// DESKTOP_KDE, DESKTOP_GNOME or DESKTOP_OTHER, from $DESKTOP (else
// $DESKTOP_SESSION), else from the desktop's tools being installed.
int get_desktop_kind();

// A shell command line that opens the address: "$BROWSER '<address>'" (blanks
// written %20) when $BROWSER is set, else the desktop's opener; " &" added
// with the background flag. The text lives in a static buffer that each call
// replaces.
const char* get_browser_command(const char* address, bool background);

// Runs get_browser_command(address, true) through /bin/sh; returns the
// shell's exit status.
int open_in_browser(const char* address);

// Opens folder/name (the name alone without a folder) with the desktop's
// file opener, in the background; 0 once started, 127 when the opener could
// not be started, -1 when no process could be made or the path is too long.
int open_with_desktop(const FOLDER* folder, const char* name);
