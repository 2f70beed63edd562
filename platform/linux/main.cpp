// The program's entry point: prepares the platform, hands control to the
// application's hooks around the frame loop, and takes everything down in a
// fixed order.
#include "application_info.h"
#include "clipboard.h"
#include "data_file.h"
#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "font.h"
#include "input.h"
#include "options.h"
#include "platform.h"
#include "system_info.h"
#include "window.h"
#include "x11_state.h"

int main(int argc, char** argv, char** envp) {
  // Start-up.
  install_x_error_handler();
  save_arguments(argv, envp);
  install_signal_handlers();
  // Streams made during static initialisation read their settings now,
  // when folders and configuration files can be used.
  load_pending_debug_settings();
  FONT::init();
  set_platform_started(true);
  // The platform's own options are handled and taken out here; the
  // application sees only the rest.
  int app_argc = argc;
  char** app_argv = argv;
  parse_platform_options(argc, argv, &app_argc, &app_argv);
  app_init(app_argc, app_argv);

  // Main loop: the application presents its own frame; only the platform
  // frame's idle wait sleeps.
  mark_frame_loop_started();
  while (app_frame() && !quit_requested()) platform_update();

  // Shutdown.
  if (EXIT_HOOK hook = get_exit_hook()) hook();
  app_shutdown();
  close_window(ALL_SCREENS);
  set_platform_started(false);
  FONT::shutdown();
  if (mouse.cursor_shape != 255) set_mouse_cursor(255);
  x11_close_display();
  if (get_application_info().exit_message)
    message_box("V.O.R.N. Development Libraries", get_about_text(true));
  free_clipboard_text();
  close_joysticks();
  restore_x_error_handler();
  set_buffer_pool(0);
  parse_platform_options(0, nullptr, nullptr, nullptr);
  remove_temporary_folder();
  return get_exit_status();
}
