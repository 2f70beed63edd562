// The program's entry point: prepares the platform, hands control to the
// application's hooks around the frame loop, and takes everything down in a
// fixed order.
#include "data_file.h"
#include "debug_stream.h"
#include "file_services.h"
#include "platform.h"
#include "x11_state.h"

int main(int argc, char** argv, char** envp) {
  // Start-up.
  install_x_error_handler();
  save_arguments(argv, envp);
  install_signal_handlers();
  // Streams made during static initialisation read their settings now,
  // when folders and configuration files can be used.
  load_pending_debug_settings();
  app_init(argc, argv);

  // Main loop: the application presents its own frame; only the platform
  // frame's idle wait sleeps.
  while (app_frame() && !quit_requested()) platform_update();

  // Shutdown.
  if (EXIT_HOOK hook = get_exit_hook()) hook();
  app_shutdown();
  x11_close_display();
  restore_x_error_handler();
  set_buffer_pool(0);
  remove_temporary_folder();
  return 0;
}
