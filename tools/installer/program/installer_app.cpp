// The installer program's side of the platform's entry point: its
// application record, the command line and its console modes, unpacking the
// installation data behind the program file under a splash window, loading
// it and opening the main window, the frame and shutdown.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "application_info.h"
#include "console_install_page.h"
#include "data_file.h"
#include "database.h"
#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"
#include "install_dialog.h"
#include "install_log.h"
#include "installer_pictures.h"
#include "options.h"
#include "patch_builder.h"
#include "payload.h"
#include "platform.h"
#include "screen.h"
#include "skin_loader.h"
#include "start_up_trace.h"
#include "string_utils.h"
#include "timing.h"
#include "window.h"
#include "wizard.h"
#include "wizard_hooks.h"
#include "wm_page_manager.h"
#include "wm_progress_bar.h"

namespace {

APPLICATION_INFO application = {"Installer 1.12", 0, nullptr, 1000, nullptr, 0, 1, 30, 1, 100,
                                0, 0, 0, 0, 0};

struct REGISTRATION {
  REGISTRATION() {
    application.icon = installer_icon_xpm();
    set_application_info(&application);
  }
} registration;

WM_PAGE_MANAGER* manager = nullptr;
constexpr COLOUR kBarBlue = 0xFF0000FF;
constexpr uint16_t kUnset = 65535;

// Without a window nothing can be shown; -a needs none.
[[noreturn]] void no_display() {
  fatal_exit("No display could be opened.\nStart the installer with -a to install without a window.");
}

// Console modes end here: 0 on success, the fatal exit's status otherwise.
[[noreturn]] void end_console_mode(bool success) {
  if (!success) fatal_exit(nullptr);
  console_print("");
  exit(0);
}

// Text that leaves for the terminal: names from the file system are UTF-8
// already and are printed as they are.
void print_utf8(const std::string& text) { console_write_utf8(text.c_str()); }

// A command-line path: "$..." as it is, "/..." absolute, anything else
// below "$HERE". Fills the folder part and the name after the last '/';
// a folder that does not exist is named in full.
bool argument_path(const char* option, const char* argument, FOLDER& folder, std::string& name) {
  std::string text = argument;
  if (text.empty()) return false;
  if (text[0] != '$' && text[0] != '/') text = "$HERE/" + text;
  const size_t slash = text.rfind('/');
  name = slash == std::string::npos ? text : text.substr(slash + 1);
  // "/name" lies in the root folder.
  const std::string folder_text =
      slash == std::string::npos ? text : text.substr(0, slash == 0 ? 1 : slash);
  const bool found = folder_text[0] == '/' ? folder.set_absolute(folder_text.c_str())
                                           : folder.set_stored_path(folder_text.c_str());
  if (!found) {
    const char* full = resolve_path_text(folder_text.c_str());
    print_utf8(std::string("The ") + option + " folder " + (full ? full : folder_text.c_str()) +
               " does not exist.\n");
  }
  return found;
}

void print_usage(const char* program) {
  print_utf8(std::string("Usage:\n\t") + program +
             " [-h] [-a] [-v] [-s filename] [-x filename] [-p filter] [-d filename1=filename2]\n\n");
  for (const char* text :
       {"\t-h\t- Show help\n", "\t-a\t- Automatic mode (non interactive)\n", "\t-v\t- Be verbose\n",
        "\t-s\t- Generate skin\n", "\t-x\t- XML File\n", "\t-p\t- Platform filter\n",
        "\t-d\t- Diff files (used for patching)\n\n"})
    console_print(text);
}

constexpr const char* kOptions = "havs:x:p:d:";

// Said at once, without waiting for a key: nothing of the command line
// has been done yet.
[[noreturn]] void usage_error(const char* problem, const char* argument, const char* program) {
  print_utf8(std::string(problem) + argument + "\n\n");
  print_usage(program);
  end_console_mode(false);
}

// "--help" asks for the usage. Every other argument must be an option or
// an option's value: only a lone "--" ends the options, and the program
// takes no arguments after them. A letter the program does not know, or
// one whose value is missing, is said in the option parser's words.
void check_arguments(int argc, char** argv) {
  for (int i = 1; i < argc && argv[i]; ++i) {
    const char* argument = argv[i];
    if (strcmp(argument, "--help") == 0) {
      print_usage(argv[0]);
      end_console_mode(true);
    }
    if (strcmp(argument, "--") == 0) {
      if (argv[i + 1]) usage_error("Unexpected command line argument: ", argv[i + 1], argv[0]);
      return;
    }
    if (argument[0] != '-') usage_error("Unexpected command line argument: ", argument, argv[0]);
    if (argument[1] == '-') usage_error("Unrecognised command line option: ", argument, argv[0]);
    if (!argument[1] || argument[2])
      usage_error("Invalid argument format for command line option: ", argument, argv[0]);
    const char* letter = argument[1] != ':' ? strchr(kOptions, argument[1]) : nullptr;
    if (!letter) usage_error("Unrecognised command line option: ", argument, argv[0]);
    // An option that takes a value steps over it; an empty value is none.
    if (letter[1] == ':') {
      if (i + 1 >= argc || !argv[i + 1] || !argv[i + 1][0] || argv[i + 1][0] == '-')
        usage_error("No argument for command line option: ", argument, argv[0]);
      ++i;
    }
  }
}

struct OPTIONS {
  bool automatic = false;  // -a
  bool data_folder = false;  // -x named where the data is
};

// Reads the options. The other console modes never return.
OPTIONS read_options(int argc, char** argv, DATABASE& data) {
  check_arguments(argc, argv);
  OPTIONS options;
  for (int option; (option = get_option(argc, argv, kOptions)) != -1;) {
    const char* argument = get_option_argument();
    FOLDER folder;
    std::string name;
    switch (option) {
      case 'p':
        data.set_platform_filter(argument);
        break;
      case 'v':
        path_trace_stream().flags |= DEBUG_TO_CONSOLE;
        trace_default_paths();
        break;
      case 'x':
        if (!argument_path("-x", argument, folder, name)) end_console_mode(false);
        data.pack_folder = folder;
        data.xml_name.set(name.c_str());
        options.data_folder = true;
        break;
      case 's':
        if (!argument_path("-s", argument, folder, name)) end_console_mode(false);
        end_console_mode(write_packed_skin_file(data, folder, name.c_str()) == 0);
      case 'd':
        end_console_mode(build_patch(argument));
      case 'a':
        options.automatic = true;
        break;
      case 'h':
        print_usage(argv[0]);
        end_console_mode(true);
      default:
        break;
    }
  }
  return options;
}

// The payload's chunk size becomes the size of the data's file buffers.
class PACKAGE_UNPACKING : public PAYLOAD_OBSERVER {
public:
  void header_read(PAYLOAD_SPLASH* splash, uint32_t chunk_size) override {
    (void)splash;
    installer_database().file_cache_sz = chunk_size;
    DATA_FILE::set_default_buffer_size(static_cast<int32_t>(chunk_size));
  }
};

// The splash window and its progress bar while the payload unpacks.
class SPLASH : public PACKAGE_UNPACKING {
public:
  ~SPLASH() override { delete bar; }

  // Without a display the data unpacks without a bar, so that a damaged
  // installer still says so; the main window then says what is missing.
  void header_read(PAYLOAD_SPLASH* splash, uint32_t chunk_size) override {
    PACKAGE_UNPACKING::header_read(splash, chunk_size);
    if (!splash) {
      if (!show_start_picture()) return;
      const COLOUR blue = kBarBlue;
      bar = new WM_PROGRESS_BAR(110, 122, 220, 10, nullptr, 100, nullptr, nullptr, &blue, 17, 255,
                                kUnset, kUnset, kUnset, kUnset, kUnset, kUnset);
    } else {
      const char* title = splash->title.get_text();
      if (!(title && *title ? open_splash_window(*splash) : show_please_wait(&splash->image))) return;
      bar = new WM_PROGRESS_BAR(static_cast<int16_t>(splash->bar_x),
                                static_cast<int16_t>(splash->bar_y), splash->bar_width,
                                splash->bar_height, nullptr, 100, &splash->bar_style);
    }
    bar->border_style = 4;
    bar->border_colour = kBarBlue;
    bar->value = 0;
    show_bar();
    note_start_up(START_UP_STAGE::SPLASH_SHOWN);
  }

  void progress(int32_t percent) override {
    if (!bar) return;
    if (percent >= 0 && percent <= bar->total) bar->value = percent;
    show_bar();
  }

  bool show_start_picture() {
    IMAGE picture;
    draw_start_picture(picture);
    return show_please_wait(&picture);
  }

  bool window_open = false;  // a decorated splash window of the splash's size

private:
  bool open_splash_window(PAYLOAD_SPLASH& splash) {
    WINDOW_PARAMS params;
    params.title = splash.title.get_text();
    params.width = splash.image.width;
    params.height = splash.image.height;
    if (!open_window(&params, 0)) return false;
    // Closing the splash window is always granted; start-up still ends.
    set_close_handler([](uint32_t) { return true; });
    manager->current_root()->invalidate_screen();
    IMAGE& back = manager->back_buffers[0];
    const bool had_size = back.width > 0 && back.height > 0;
    back.create(params.width, params.height);
    if (!had_size) {
      const COLOUR black = 0xFF000000;
      back.clear(&black, true);
    }
    splash.image.draw(0, 0, &back, BLIT_BLEND);
    IMAGE* screen = get_screen_image(0);
    screen->set_clip_rect(0, 0, static_cast<int16_t>(params.width - 1),
                          static_cast<int16_t>(params.height - 1));
    splash.image.draw(0, 0, screen, BLIT_BLEND);
    swap_screens(0);
    window_open = true;
    return true;
  }

  void show_bar() {
    bar->redraw_now();
    swap_screens(screen_of_point(bar->get_x(), bar->get_y()));
    bar->update_and_poll();
  }

  WM_PROGRESS_BAR* bar = nullptr;
};

enum class UNPACKED { NO_PAYLOAD, DONE, FAILED };

struct UNPACKING {
  UNPACKED state = UNPACKED::NO_PAYLOAD;
  PAYLOAD_FAILURE failure = PAYLOAD_FAILURE::NONE;
  bool no_temporary = false;  // no temporary folder could be made
  FOLDER temporary;  // where it was unpacked
};

// A folder passed over for the temporary one (an unusable TMPDIR) is
// named, so that the choice is not ignored without a word.
void tell_folders_passed_over(const FOLDER& temporary) {
  const char* failures = get_temporary_folder_failures();
  if (*failures)
    print_utf8(std::string("The temporary folder could not be made in:\n") + failures + "\nIt is " +
               temporary.path + " instead.\n");
}

// Unpacks the payload behind the program file, when it has one and -x
// names no other place for the data, into this run's private temporary
// folder and loads the data from there.
UNPACKING unpack(DATABASE& data, PAYLOAD_OBSERVER& observer, bool data_folder_named) {
  UNPACKING result;
  const PAYLOAD_INFO payload = payload_offset();
  FOLDER program_folder;
  char program_name[256];
  if (data_folder_named || !payload.present ||
      !get_program_path(&program_folder, program_name, sizeof program_name))
    return result;
  result.state = UNPACKED::FAILED;
  result.failure = PAYLOAD_FAILURE::WRITE;
  if (!result.temporary.set("$TEMP", true, nullptr, true)) {
    result.no_temporary = true;
    return result;
  }
  tell_folders_passed_over(result.temporary);
  if (!unpack_payload_file(program_folder, program_name, payload.offset, result.temporary, "installer.pkg",
                           &observer, &result.failure))
    return result;
  result.state = UNPACKED::DONE;
  data.pack_folder = result.temporary;
  data.remove_package_at_exit = 1;
  return result;
}

// Why there is no data to install, as a title and a text that names the
// file or folder concerned.
struct DATA_PROBLEM {
  std::string title, text;
};

DATA_PROBLEM data_problem(const UNPACKING& unpacking, const DATABASE& data) {
  if (unpacking.no_temporary) {
    const std::string failures = shown_path(get_temporary_folder_failures());
    return {"No temporary folder could be made!",
            "Unpacking the installation data needs a temporary folder; none could be made" +
                (failures.empty() ? std::string(".") : " in:\n" + failures) +
                "\nSet TMPDIR to a folder you may write to and start the installer again."};
  }
  if (unpacking.state == UNPACKED::FAILED && unpacking.failure == PAYLOAD_FAILURE::NO_ROOM)
    return {"There is not enough room in the temporary folder!",
            "Unpacking the installation data needs more free space in " + shown_path(unpacking.temporary.path) +
                ".\nMake room there and start the installer again."};
  if (unpacking.state == UNPACKED::FAILED && unpacking.failure == PAYLOAD_FAILURE::WRITE)
    return {"The installation data could not be unpacked!",
            "Writing to the temporary folder " + shown_path(unpacking.temporary.path) + " failed."};
  if (unpacking.state != UNPACKED::NO_PAYLOAD) {
    // Cut short, or chunks that do not unpack into a readable package.
    FOLDER folder;
    char name[256] = "";
    get_program_path(&folder, name, sizeof name);
    const char* program = make_path(folder, name);
    return {"The installer file is incomplete or damaged!",
            shown_path(program ? program : name) +
                " ends early or holds data that cannot be read.\nGet a complete copy of the installer."};
  }
  const char* package = make_path(data.pack_folder, "installer.pkg");
  const char* kind = non_regular_kind(data.pack_folder, "installer.pkg");
  return {"No installation data found!", "Make sure you have got all required files.\n" +
                                             shown_path(package ? package : data.pack_folder.path) +
                                             " could not be loaded" + (kind ? std::string(": it is ") + kind : "") +
                                             "."};
}

[[noreturn]] void no_installation_data(const UNPACKING& unpacking, const DATABASE& data) {
  const DATA_PROBLEM problem = data_problem(unpacking, data);
  close_window(0);
  message_box(problem.title.c_str(), problem.text.c_str());
  fatal_exit((problem.title + "\n" + problem.text).c_str());
}

// Unpacks under the splash and loads the data; whether a splash window of
// the splash's size stays open.
bool load_under_splash(DATABASE& data, bool data_folder_named) {
  SPLASH splash;
  const UNPACKING unpacking = unpack(data, splash, data_folder_named);
  if (unpacking.state == UNPACKED::NO_PAYLOAD) {
    splash.show_start_picture();
    note_start_up(START_UP_STAGE::SPLASH_SHOWN);
  }
  note_start_up(START_UP_STAGE::DATA_UNPACKED);
  if (unpacking.state == UNPACKED::FAILED || !data.load_package("installer.pkg"))
    no_installation_data(unpacking, data);
  note_start_up(START_UP_STAGE::DATA_LOADED);
  return splash.window_open;
}

// Closes the data and removes the package this run unpacked.
void release_package(DATABASE& data) {
  const bool remove_package = data.remove_package_at_exit != 0;
  const FOLDER package_folder = data.pack_folder;
  data.clear();
  data.package.reset();
  if (remove_package) remove_file(package_folder, "installer.pkg");
}

[[noreturn]] void end_automatic_run(DATABASE& data, bool success) {
  release_package(data);
  end_console_mode(success);
}

// -a: the whole install on the console, without a window. A close request
// (SIGINT, SIGTERM) only sets the quit flag, which is looked at between
// steps: a step writes its file completely or not at all, so stopping there
// leaves no half-written file, and the log says that the run stopped.
// "Done" once every step was walked; status 0 only when every file was
// installed.
[[noreturn]] void run_automatic(DATABASE& data, bool data_folder_named) {
  set_close_handler([](uint32_t) { return true; });
  PACKAGE_UNPACKING unpacking;
  const UNPACKING unpacked = unpack(data, unpacking, data_folder_named);
  console_print("Loading automatic pack...\n");
  if (unpacked.state == UNPACKED::FAILED || !data.load_package("installer.pkg")) {
    const DATA_PROBLEM problem = data_problem(unpacked, data);
    console_print(("ERROR: unable to load data\n" + problem.title + "\n" + problem.text + "\n").c_str());
    end_automatic_run(data, false);
  }
  console_print("Packing data...\n");
  data.current_page = WIZARD_PAGE_INSTALLING;
  CONSOLE_INSTALL_PAGE page;
  while (!data.install_complete() && !page.has_stopped()) {
    platform_update();
    if (quit_requested()) {
      data.interrupt_install(&page);
      console_print("Aborted\n");
      end_automatic_run(data, false);
    }
    data.install_step(&page);
  }
  if (data.install_complete()) console_print("Done\n");
  else data.interrupt_install(&page);  // a path error: the log says how far the run got
  end_automatic_run(data, data.install_succeeded());
}

}  // namespace

bool app_init(int argc, char** argv) {
  wizard_install();
  manager = new WM_PAGE_MANAGER(1, -1);
  DATABASE& data = installer_database();
  const OPTIONS options = read_options(argc, argv, data);
  if (options.automatic) run_automatic(data, options.data_folder);
  const bool splash_open = load_under_splash(data, options.data_folder);

  IMAGE* screen = get_screen_image(0);
  const bool same_size = splash_open && screen && screen->width == data.window.width &&
                         screen->height == data.window.height;
  if (!same_size) {
    close_window(0);
    WINDOW_PARAMS params;
    params.title = data.current_text(INSTALLER_TITLE);
    params.width = data.window.width;
    params.height = data.window.height;
    params.full_screen = data.window.fullscreen;
    params.min_width = data.dialog.width;
    params.min_height = data.dialog.height;
    if (!open_window(&params, 0)) {
      // A display that answers with a desktop size is there: the window
      // itself could not be made (too large for it, or for memory).
      const uint16_t desktop_w = get_desktop_width(), desktop_h = get_desktop_height();
      if (desktop_w == 0) no_display();
      fatal_exit(format_text("The installer's window (%d x %d pixels, its dialog %d x %d) could not be made on "
                             "this display, whose desktop is %d x %d.\nStart the installer with -a to install "
                             "without a window.",
                             data.window.width, data.window.height, data.dialog.width, data.dialog.height,
                             desktop_w, desktop_h)
                     .c_str());
    }
  }
  note_start_up(START_UP_STAGE::WINDOW_OPEN);
  watch_wizard_frames();
  manager->current_root()->set_size(static_cast<uint16_t>(data.window.width),
                                    static_cast<uint16_t>(data.window.height), true);
  if (wizard_start) wizard_start(manager);
  manager->first_page_fades_in = 1;
  set_close_handler(confirm_quit);
  border_theme.shadow = COLOUR_INVISIBLE;
  border_theme.highlight = COLOUR_INVISIBLE;
  return true;
}

bool app_frame() {
  const int32_t result = manager->frame(false);
  DATABASE& data = installer_database();
  if (data.show_frame_rate) {
    IMAGE* screen = get_screen_image(0);
    const COLOUR white = 0xFFFFFFFF;
    screen->draw_text(0, static_cast<int16_t>(get_screen_height(0) - screen->font_height - 10),
                      &white, nullptr, nullptr, screen->font, screen->font_width,
                      static_cast<int16_t>(screen->font_height), FRAME_RATE::report(nullptr));
  }
  swap_screens(ALL_SCREENS);
  note_wizard_frame(current_dialog);
  return result != page_action::END;
}

// A run the user left, or one that a close request ended, says so in its
// log; the status tells a launching script whether everything installed.
void app_shutdown() {
  DATABASE& data = installer_database();
  data.interrupt_install(nullptr);
  set_exit_status(data.install_succeeded() ? 0 : 1);
  close_window(0);
  IMAGE picture;
  draw_closing_picture(picture);
  show_please_wait(&picture);
  release_package(installer_database());
  close_window(0);
  delete manager;
  manager = nullptr;
}
