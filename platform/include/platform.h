#pragma once
// The program's frame loop as seen by the application: the three hooks the
// application provides, the platform frame that pumps X and queued events,
// the idle wait that keeps an idle program from spinning, and the close
// request (signals and the window's close button) with its callback.
#include <cstdint>

// Application hooks, provided by the program that links the entry point.
bool app_init(int argc, char** argv);  // result not used
bool app_frame();                      // false ends the main loop
void app_shutdown();

// One platform frame: queued events, pending X events, the idle wait, the
// key-map poll. Also called by routines that must let the X server catch up.
void platform_update();

// Milliseconds the platform frame may wait for X input when nothing was
// presented in the frame; 0 switches the wait off. Starts at 50.
void set_idle_wait(uint32_t ms);
uint32_t get_idle_wait();

// The close-request callback decides whether a close request (SIGHUP,
// SIGINT, SIGQUIT, SIGPIPE, SIGTERM or the window's close button) ends the
// program: true sets the quit flag, false clears it. It always runs on the
// UI thread, at the start of the next platform frame after a signal. With no
// callback installed a close request ends the program.
using CLOSE_HANDLER = bool (*)(uint32_t);
void set_close_handler(CLOSE_HANDLER handler);
CLOSE_HANDLER get_close_handler();

// True from the end of main's start-up (fonts running) until its shutdown
// takes the fonts down again; set by main.
bool platform_started();
void set_platform_started(bool started);

// The status main returns after a normal shutdown (0 unless the
// application sets another), so that a launching script learns the outcome.
void set_exit_status(int status);
int get_exit_status();

// Called by main as the frame loop begins. Before that, a close signal
// with no callback installed ends the program at once (this run's temporary
// folder removed) instead of waiting for a frame that is still far off.
void mark_frame_loop_started();

// A close request from the UI thread (the window's close button): asks the
// callback at once and applies its answer to the quit flag.
void handle_close_request();

// True once a close request was accepted; the main loop ends after the turn.
bool quit_requested();

// Set by whatever has just changed the screen or needs an immediate answer;
// while set, the platform frame does not wait. Cleared at the end of each
// platform frame that has a window.
void set_presented();
bool get_presented();

// Registered by the page manager while it exists: runs first at shutdown.
using EXIT_HOOK = void (*)();
void set_exit_hook(EXIT_HOOK hook);
EXIT_HOOK get_exit_hook();

// The argument and environment vectors that main received.
void save_arguments(char** argv, char** envp);
char** get_saved_argv();
char** get_saved_envp();

// Installs the platform's signal handler and X error handler. Called by main;
// tests call it to exercise the close-request road without main.
void install_signal_handlers();
void install_x_error_handler();
void restore_x_error_handler();
