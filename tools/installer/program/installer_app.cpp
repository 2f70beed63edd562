// The installer program's side of the platform's entry point: its
// application record, the command line and its console modes, unpacking the
// installation data behind the program file under a splash window, loading
// it and opening the main window, the frame and shutdown.
#include <cstdlib>
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
#include "installer_pictures.h"
#include "options.h"
#include "patch_builder.h"
#include "payload.h"
#include "platform.h"
#include "screen.h"
#include "skin_loader.h"
#include "start_up_trace.h"
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

// Console modes end here: 0 on success, the fatal exit's status otherwise.
[[noreturn]] void end_console_mode(bool success) {
  if (!success) fatal_exit(nullptr);
  console_print("");
  exit(0);
}

// A command-line path: "$..." as it is, "/..." absolute, anything else
// below "$HERE". Fills the folder part and the name after the last '/'.
bool argument_path(const char* argument, FOLDER& folder, std::string& name) {
  std::string text = argument;
  if (text.empty()) return false;
  if (text[0] != '$' && text[0] != '/') text = "$HERE/" + text;
  const size_t slash = text.rfind('/');
  name = slash == std::string::npos ? text : text.substr(slash + 1);
  // "/name" lies in the root folder.
  const std::string folder_text =
      slash == std::string::npos ? text : text.substr(0, slash == 0 ? 1 : slash);
  return folder_text[0] == '/' ? folder.set_absolute(folder_text.c_str())
                               : folder.set_stored_path(folder_text.c_str());
}

void print_usage(const char* program) {
  char line[1024];
  snprintf(line, sizeof line,
           "Usage:\n\t%s [-h] [-a] [-v] [-s filename] [-x filename] [-p filter] "
           "[-d filename1=filename2]\n\n",
           program);
  console_print(line);
  for (const char* text :
       {"\t-h\t- Show help\n", "\t-a\t- Automatic mode (non interactive)\n", "\t-v\t- Be verbose\n",
        "\t-s\t- Generate skin\n", "\t-x\t- XML File\n", "\t-p\t- Platform filter\n",
        "\t-d\t- Diff files (used for patching)\n\n",
        "\t-f\t- Force either 32bit or 64bit install\n\n"})
    console_print(text);
}

// Reads the options; returns whether -a was given. The other console modes
// never return.
bool read_options(int argc, char** argv, DATABASE& data) {
  bool automatic = false;
  for (int option; (option = get_option(argc, argv, "havs:x:p:d:")) != -1;) {
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
        if (!argument_path(argument, folder, name)) {
          console_print("The -x folder does not exist.\n");
          end_console_mode(false);
        }
        data.pack_folder = folder;
        data.xml_name.set(name.c_str());
        break;
      case 's':
        if (!argument_path(argument, folder, name)) {
          console_print("The -s folder does not exist.\n");
          end_console_mode(false);
        }
        end_console_mode(write_packed_skin_file(data, folder, name.c_str()) == 0);
      case 'd':
        end_console_mode(build_patch(argument));
      case 'a':
        automatic = true;
        break;
      case 'h':
        print_usage(argv[0]);
        end_console_mode(true);
      default:
        break;
    }
  }
  return automatic;
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

  void header_read(PAYLOAD_SPLASH* splash, uint32_t chunk_size) override {
    PACKAGE_UNPACKING::header_read(splash, chunk_size);
    if (!splash) {
      show_start_picture();
      const COLOUR blue = kBarBlue;
      bar = new WM_PROGRESS_BAR(110, 122, 220, 10, nullptr, 100, nullptr, nullptr, &blue, 17, 255,
                                kUnset, kUnset, kUnset, kUnset, kUnset, kUnset);
    } else {
      if (!splash->title.get_text() || !*splash->title.get_text()) {
        show_please_wait(&splash->image);
      } else {
        open_splash_window(*splash);
      }
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

  void show_start_picture() {
    IMAGE picture;
    draw_start_picture(picture);
    show_please_wait(&picture);
  }

  bool window_open = false;  // a decorated splash window of the splash's size

private:
  void open_splash_window(PAYLOAD_SPLASH& splash) {
    WINDOW_PARAMS params;
    params.title = splash.title.get_text();
    params.width = splash.image.width;
    params.height = splash.image.height;
    if (!open_window(&params, 0)) fatal_exit("The splash window could not be opened.");
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
  }

  void show_bar() {
    bar->redraw_now();
    swap_screens(screen_of_point(bar->get_x(), bar->get_y()));
    bar->update_and_poll();
  }

  WM_PROGRESS_BAR* bar = nullptr;
};

[[noreturn]] void no_installation_data() {
  close_window(0);
  message_box("No installation data found!", "Make sure you have got all required files.");
  fatal_exit("No installation data found!");
}

enum class UNPACKED { NO_PAYLOAD, DONE, FAILED };

// Unpacks the payload behind the program file, when it has one, into this
// run's private temporary folder and loads the data from there.
UNPACKED unpack(DATABASE& data, PAYLOAD_OBSERVER& observer) {
  const PAYLOAD_INFO payload = payload_offset();
  FOLDER program_folder;
  char program_name[256];
  if (!payload.present || !get_program_path(&program_folder, program_name, sizeof program_name))
    return UNPACKED::NO_PAYLOAD;
  FOLDER temporary;
  if (!temporary.set("$TEMP", true, nullptr, true) ||
      !unpack_payload_file(program_folder, program_name, payload.offset, temporary,
                           "installer.pkg", &observer))
    return UNPACKED::FAILED;
  data.pack_folder = temporary;
  data.remove_package_at_exit = 1;
  return UNPACKED::DONE;
}

// Unpacks under the splash; whether a splash window of the splash's size
// stays open.
bool unpack_under_splash(DATABASE& data) {
  SPLASH splash;
  switch (unpack(data, splash)) {
    case UNPACKED::NO_PAYLOAD:
      splash.show_start_picture();
      note_start_up(START_UP_STAGE::SPLASH_SHOWN);
      return false;
    case UNPACKED::FAILED:
      no_installation_data();
    case UNPACKED::DONE:
      break;
  }
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
// leaves no half-written file. "Done" and status 0 only when every file
// and shortcut was made.
[[noreturn]] void run_automatic(DATABASE& data) {
  set_close_handler([](uint32_t) { return true; });
  PACKAGE_UNPACKING unpacking;
  const UNPACKED unpacked = unpack(data, unpacking);
  console_print("Loading automatic pack...\n");
  if (unpacked == UNPACKED::FAILED || !data.load_package("installer.pkg")) {
    console_print("ERROR: unable to load data\n");
    end_automatic_run(data, false);
  }
  console_print("Packing data...\n");
  data.current_page = WIZARD_PAGE_INSTALLING;
  CONSOLE_INSTALL_PAGE page;
  while (!data.install_complete() && !page.has_stopped()) {
    platform_update();
    if (quit_requested()) {
      console_print("Aborted\n");
      end_automatic_run(data, false);
    }
    data.install_step(&page);
  }
  // A log that could not be made is asked about like a file but not
  // counted by the worker; the page counted it.
  const bool success =
      data.install_complete() && data.install_error_count() == 0 && page.copy_errors() == 0;
  if (success) console_print("Done\n");
  end_automatic_run(data, success);
}

}  // namespace

bool app_init(int argc, char** argv) {
  wizard_install();
  manager = new WM_PAGE_MANAGER(1, -1);
  DATABASE& data = installer_database();
  if (read_options(argc, argv, data)) run_automatic(data);
  const bool splash_open = unpack_under_splash(data);
  note_start_up(START_UP_STAGE::DATA_UNPACKED);
  if (!data.load_package("installer.pkg")) no_installation_data();
  note_start_up(START_UP_STAGE::DATA_LOADED);

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
    if (!open_window(&params, 0)) fatal_exit("The installer's window could not be opened.");
  }
  note_start_up(START_UP_STAGE::WINDOW_OPEN);
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

void app_shutdown() {
  close_window(0);
  IMAGE picture;
  draw_closing_picture(picture);
  show_please_wait(&picture);
  release_package(installer_database());
  close_window(0);
  delete manager;
  manager = nullptr;
}
