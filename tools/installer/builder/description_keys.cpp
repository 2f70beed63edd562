#include "description_keys.h"

#include "database.h"

namespace {

struct KEY {
  const char* key;
  const char* form;     // of the value
  const char* meaning;  // one line
  const char* example;  // a whole line of a description
};

constexpr KEY kInstallerKeys[] = {
    {"app", "<name>", "the application's name; $USERAPP and the other named folders are made from it",
     "app = Demo Notes"},
    {"version", "<text>", "the application's version, kept in the data (the wizard does not show it)",
     "version = 1.0"},
    {"window", "<width> <height>", "the installer window in pixels, 1 to 8192 each: the largest the installer draws (default 300 200)",
     "window = 640 440"},
    {"dialog", "<width> <height> [<x> <y>]",
     "the wizard's dialog and its place in the window (-1 centres; default 200 150 at 0 0); it must fit",
     "dialog = 480 440 160 0"},
    {"min_screen", "<width> <height>", "a smaller screen is warned about on the options page",
     "min_screen = 1024 768"},
    {"installation", "<name> | <default folder>",
     "an installation type, installed by default into that folder, which begins with a folder variable "
     "(below) and does not climb out of it with \"..\"",
     "installation = Standard | $ROOT0/Demo Notes"},
    {"files", "<folder>",
     "every file and empty folder below it, hidden ones too, goes into every installation with its "
     "permission bits (folders keep theirs too)",
     "files = files"},
    {"links", "refuse | copy",
     "a symbolic link below a files folder stops the build (refuse, the default), or is stored as a copy",
     "links = copy"},
    {"file", "<name below a files folder> | <option> ...",
     "what differs for one file: switch_user (set-user-id), overwrite 0|1|2, platform <list>",
     "file = bin/notes | overwrite 1"},
    {"time_stamp", "<seconds>",
     "\"overwrite 1\" replaces a file older than this (seconds since 1970; default: the build's time)",
     "time_stamp = 1700000000"},
    {"link", "<title> | <target file> | <kind> [| <menu section>]",
     "a desktop link (with a section: a menu entry) of the installation above; kind 1 program, 2 web "
     "address, 3 text",
     "link = Demo Notes | notes.txt | 3"},
    {"skin", "<folder>", "the look: style sets, pictures, icons, \"background\" picture (see demo/skin)",
     "skin = skin"},
    {"splash", "<picture> | <title> | <bar x> <bar y> <bar width> <bar height>",
     "the window shown while unpacking ('*': the built-in picture) with its bar inside the picture",
     "splash = * | Demo Notes Set-up | 108 112 224 22"},
    {"chunk_size", "<bytes>", "the size of the pieces the data is cut into, 1 to 52428800 (default: chosen)",
     "chunk_size = 65536"},
    {"compressed", "0 | 1", "whether the pieces are deflated (default 1)", "compressed = 0"},
    {"language", "<name>", "starts a language; the keys below belong to it (the first one is chosen first)",
     "language = English"},
};

constexpr KEY kLanguageKeys[] = {
    {"licence", "<text file>", "the licence, accepted on its own page", "licence = licence-en.txt"},
    {"readme", "<text file>", "the page shown after installing", "readme = readme-en.txt"},
    {"release_notes", "<text file>", "the release notes' page, before the installation type",
     "release_notes = release_notes-en.txt"},
    {"installation_name", "<installation> | <text>", "the installation's name on the type page (else its name)",
     "installation_name = Standard | Standard, with a desktop link"},
};

// When the wizard shows a text; an empty one that it shows is blank there.
enum class SHOWN : uint8_t {
  ALWAYS,
  MAY_BE_EMPTY,  // a tooltip (empty: none), or the folder browser's words (empty: its own)
  NEVER,         // of what this builder does not make: system folders, patch mode
  LANGUAGES,     // with more than one language
  LICENCE,       // with that text page in the language
  RELEASE_NOTES,
  README,
  TYPES,         // with more than one installation
  LINKS,         // with a link of either kind
  DESKTOP_LINK,  // with a link without a menu section
  MENU_ENTRY,    // with a link with one
  SCREEN_CHECK,  // with min_screen
};

struct TEXT {
  const char* shown;  // where
  const char* example;
  SHOWN when;
};

// The wizard's texts, by key: where each is shown, an example, and when.
constexpr TEXT kTexts[LANGUAGE_KEY_COUNT] = {
    {"the language's button on the language page", "English", SHOWN::LANGUAGES},
    {"the window's title", "Demo Notes Set-up", SHOWN::ALWAYS},
    {"the quit question's title", "Leave the set-up?", SHOWN::ALWAYS},
    {"the quit question", "Demo Notes is not installed yet. Leave anyway?", SHOWN::ALWAYS},
    {"the button that leaves", "Leave", SHOWN::ALWAYS},
    {"the button that stays", "Stay", SHOWN::ALWAYS},
    {"the title of a folder that cannot be used", "Folder not usable", SHOWN::ALWAYS},
    {"the message about a folder that cannot be used", "Demo Notes cannot be installed in that folder.", SHOWN::ALWAYS},
    {"the button of that message", "Back", SHOWN::ALWAYS},
    {"the title of a file that could not be written", "File not written", SHOWN::ALWAYS},
    {"the question about a file that could not be written; %s is its path", "%s could not be written. Carry on with the other files?", SHOWN::ALWAYS},
    {"the button that carries on", "Carry on", SHOWN::ALWAYS},
    {"the button that stops", "Stop", SHOWN::ALWAYS},
    {"the button to the next page", "Next", SHOWN::ALWAYS},
    {"its tooltip", "Go to the next page", SHOWN::MAY_BE_EMPTY},
    {"the button back", "Back", SHOWN::ALWAYS},
    {"its tooltip", "Go back one page", SHOWN::MAY_BE_EMPTY},
    {"the button that accepts the licence", "I agree", SHOWN::LICENCE},
    {"its tooltip", "Accept the licence and go on", SHOWN::MAY_BE_EMPTY},
    {"the button that refuses it", "I do not agree", SHOWN::LICENCE},
    {"its tooltip", "Refuse the licence and leave the set-up", SHOWN::MAY_BE_EMPTY},
    {"the quit button", "Quit", SHOWN::ALWAYS},
    {"its tooltip", "Leave the set-up", SHOWN::MAY_BE_EMPTY},
    {"the about button", "About", SHOWN::ALWAYS},
    {"its tooltip", "About this set-up", SHOWN::MAY_BE_EMPTY},
    {"the button that installs", "Install", SHOWN::ALWAYS},
    {"its tooltip", "Install Demo Notes now", SHOWN::MAY_BE_EMPTY},
    {"the last page's button", "Finish", SHOWN::ALWAYS},
    {"its tooltip", "Close the set-up", SHOWN::MAY_BE_EMPTY},
    {"the language page's title", "Please choose a language", SHOWN::LANGUAGES},
    {"the licence page's title", "Licence", SHOWN::LICENCE},
    {"the readme page's title", "Read me", SHOWN::README},
    {"the release notes' title", "Release notes", SHOWN::RELEASE_NOTES},
    {"the installation type page's title", "Installation type", SHOWN::TYPES},
    {"the options page's title", "Options", SHOWN::ALWAYS},
    {"the question above the folder", "Install Demo Notes in:", SHOWN::ALWAYS},
    {"the check box for the system's folders (not offered by this builder)", "Install for every user", SHOWN::NEVER},
    {"the question above the link boxes", "Which shortcuts should be made?", SHOWN::LINKS},
    {"the desktop link's check box", "A link on the desktop", SHOWN::DESKTOP_LINK},
    {"the menu entry's check box", "An entry in the menu", SHOWN::MENU_ENTRY},
    {"shown for the folder when the system's folders are chosen", "The system's folders", SHOWN::NEVER},
    {"the installing page's title", "Installing", SHOWN::ALWAYS},
    {"the progress line at the start", "Installing Demo Notes...", SHOWN::ALWAYS},
    {"the progress line where file names are not shown", "Preparing...", SHOWN::NEVER},
    {"the progress line while the desktop link is made", "Making the desktop link...", SHOWN::DESKTOP_LINK},
    {"the progress line while the menu entry is made", "Making the menu entry...", SHOWN::MENU_ENTRY},
    {"the title of the patch mode's packing page", "Packing data", SHOWN::NEVER},
    {"the title of the patch mode's log page", "Packing the log", SHOWN::NEVER},
    {"the progress line at the end", "Demo Notes is installed.", SHOWN::ALWAYS},
    {"the OK button of the about box and the folder browser", "OK", SHOWN::ALWAYS},
    {"its cancel button", "Cancel", SHOWN::MAY_BE_EMPTY},
    {"its new-folder button", "New Folder", SHOWN::MAY_BE_EMPTY},
    {"its title", "Choose a folder", SHOWN::MAY_BE_EMPTY},
    {"its message", "Choose the folder to install Demo Notes into.", SHOWN::MAY_BE_EMPTY},
    {"the label of its folder list", "Look in:", SHOWN::MAY_BE_EMPTY},
    {"its name for the list of drives", "This computer", SHOWN::MAY_BE_EMPTY},
    {"the new folder question's title", "New Folder", SHOWN::MAY_BE_EMPTY},
    {"the new folder question", "Name of the new folder:", SHOWN::MAY_BE_EMPTY},
    {"the small-screen question's title (min_screen)", "Small screen", SHOWN::SCREEN_CHECK},
    {"the small-screen question", "The screen is smaller than Demo Notes needs. Leave the set-up?", SHOWN::SCREEN_CHECK},
    {"shown while an earlier installation is looked for (patch mode)", "Looking for the earlier installation...", SHOWN::NEVER},
};

constexpr const char* kFolders[][2] = {
    {"$ROOT0", "the home folder of the user who runs the installer (from the user database)"},
    {"$ROOT1", "the root of the file system: $ROOT1/opt/notes is /opt/notes"},
    {"$ROOT2 ...", "the further mounted drives, in the order /proc/mounts lists them"},
    {"$USERAPP", "~/.<app>/bin of that user ($USERDATA: ~/.<app>/data)"},
    {"$APP", "the folder the installer program lies in"},
};

void print_key(FILE* out, const KEY& key) {
  fprintf(out, "  %s = %s\n      %s\n      e.g. %s\n", key.key, key.form, key.meaning, key.example);
}

}  // namespace

void print_description_help(FILE* out) {
  fputs("usage: make_installer <description> <bare installer> <output>\n\n"
        "Packs the files a description names into a copy of the bare installer (the program \"setup\"):\n"
        "the output is an installer that carries them. The description is UTF-8 text, one\n"
        "\"key = value\" a line, '#' beginning a comment line; '|' separates the fields of a value;\n"
        "files and folders are named from the description's folder. Numbers are whole numbers.\n\n"
        "The installer:\n",
        out);
  for (const KEY& key : kInstallerKeys) print_key(out, key);
  fputs("\nOf the language above them:\n", out);
  for (const KEY& key : kLanguageKeys) print_key(out, key);
  fputs("  <TEXT> = <text>\n      the wizard's texts, each where it is shown. One the wizard shows that is left\n"
        "      empty is warned about; tooltips and the folder browser's words may stay empty (the browser\n"
        "      then uses its own):\n",
        out);
  for (int k = 0; k < LANGUAGE_KEY_COUNT; ++k)
    fprintf(out, "    %s: %s (e.g. \"%s\")\n", LANGUAGE_KEY_NAMES[k], kTexts[k].shown, kTexts[k].example);
  fputs("\nFolder variables, which begin a default folder:\n", out);
  for (const auto& folder : kFolders) fprintf(out, "  %-11s %s\n", folder[0], folder[1]);
  fputs("\nThe installed files and the folders the install makes keep their permission bits, as from a tar\n"
        "archive (a set-user-id file loses group and other write); files and folders that others than their\n"
        "owner may write to are named. The output run with -a installs without a window into the first\n"
        "installation's default folder.\n",
        out);
  fprintf(out,
          "\nThe installer holds at most %d of each: files and empty folders (of all files lines together),\n"
          "installations, languages, and links of an installation. The build stops at the one too many.\n",
          DATABASE::MAX_COUNT);
}

bool text_is_shown(int key, const WIZARD_USE& use) {
  switch (kTexts[key].when) {
    case SHOWN::ALWAYS: return true;
    case SHOWN::MAY_BE_EMPTY:
    case SHOWN::NEVER: return false;
    case SHOWN::LANGUAGES: return use.languages;
    case SHOWN::LICENCE: return use.licence;
    case SHOWN::RELEASE_NOTES: return use.release_notes;
    case SHOWN::README: return use.readme;
    case SHOWN::TYPES: return use.types;
    case SHOWN::LINKS: return use.desktop_link || use.menu_entry;
    case SHOWN::DESKTOP_LINK: return use.desktop_link;
    case SHOWN::MENU_ENTRY: return use.menu_entry;
    case SHOWN::SCREEN_CHECK: return use.screen_check;
  }
  return false;
}

const char* text_place(int key) { return kTexts[key].shown; }

std::string description_form(const std::string& key) {
  for (const KEY* table : {kInstallerKeys, kLanguageKeys}) {
    const size_t count = table == kInstallerKeys ? std::size(kInstallerKeys) : std::size(kLanguageKeys);
    for (size_t i = 0; i < count; ++i)
      if (key == table[i].key) return key + " = " + table[i].form;
  }
  return "";
}
