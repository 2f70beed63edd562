// The platform frame and the state around it: the quit flag with the
// close-request callback, the idle wait, the presented flag, the signal
// handler and the X error handler.
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>

#include "event_queue.h"
#include "file_services.h"
#include "input.h"
#include "platform.h"
#include "x11_state.h"

namespace {

volatile sig_atomic_t quit_flag = 0;
// Set by the signal handler; the callback runs later on the UI thread,
// because it builds dialogs and may not run inside a handler.
volatile sig_atomic_t close_pending = 0;
CLOSE_HANDLER close_handler = nullptr;
// What the signal handler may read of the state above: before the frame
// loop runs and while no callback is installed, nothing would answer a
// close request held for later, so a close signal ends the program at once.
volatile sig_atomic_t close_handler_installed = 0;
volatile sig_atomic_t frame_loop_started = 0;
EXIT_HOOK exit_hook = nullptr;
uint32_t idle_wait_ms = 50;
uint8_t presented = 0;
char** saved_argv = nullptr;
char** saved_envp = nullptr;
XErrorHandler previous_x_error_handler = nullptr;
bool x_error_handler_installed = false;

// Writing a byte here wakes an idle wait from inside the signal handler.
int wake_pipe[2] = {-1, -1};

// Ends the program from inside the signal handler: this run's temporary
// folder goes (its removal is safe here), then the signal is raised again
// with its default action, so that the parent sees how the program ended.
void end_by_signal(int sig) {
  remove_temporary_folder();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
  raise(sig);  // blocked until the handler returns, then fatal
}

void signal_handler(int sig) {
  switch (sig) {
    case SIGHUP:
    case SIGINT:
    case SIGQUIT:
    case SIGPIPE:
    case SIGTERM: {
      int saved_errno = errno;
      if (!close_handler_installed && !frame_loop_started) end_by_signal(sig);
      close_pending = 1;
      if (wake_pipe[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(wake_pipe[1], &byte, 1);
        (void)ignored;
      }
      errno = saved_errno;
      break;
    }
    default:
      break;  // SIGWINCH and anything else change nothing
  }
}

void drain_wake_pipe() {
  char buf[64];
  while (wake_pipe[0] >= 0 && read(wake_pipe[0], buf, sizeof buf) > 0) {
  }
}

int x_error_handler(Display* display, XErrorEvent* error) {
  // A context that does not match the window is reported by the server as
  // BadMatch on GLX's make-current request; the window code then falls
  // back to presenting without GL.
  if (error->error_code == BadMatch && x11.glx_major_opcode >= 0 &&
      error->request_code == x11.glx_major_opcode && error->minor_code == 5) {
    x11.gl_mismatch = 1;
    fputs("OpenGL Context does not match!\n", stdout);
    fflush(stdout);
    return 0;
  }
  if (previous_x_error_handler) return previous_x_error_handler(display, error);
  return 0;
}

}  // namespace

void set_idle_wait(uint32_t ms) { idle_wait_ms = ms; }
uint32_t get_idle_wait() { return idle_wait_ms; }

void set_close_handler(CLOSE_HANDLER handler) {
  close_handler = handler;
  close_handler_installed = handler != nullptr;
}
CLOSE_HANDLER get_close_handler() { return close_handler; }

void handle_close_request() {
  // Without a callback nothing stands in the way of ending the program.
  quit_flag = close_handler ? (close_handler(0) ? 1 : 0) : 1;
}

bool quit_requested() { return quit_flag != 0; }

void mark_frame_loop_started() { frame_loop_started = 1; }

void set_presented() { presented = 1; }
bool get_presented() { return presented != 0; }

void set_exit_hook(EXIT_HOOK hook) { exit_hook = hook; }
EXIT_HOOK get_exit_hook() { return exit_hook; }

void save_arguments(char** argv, char** envp) {
  saved_argv = argv;
  saved_envp = envp;
}
char** get_saved_argv() { return saved_argv; }
char** get_saved_envp() { return saved_envp; }

void install_signal_handlers() {
  if (wake_pipe[0] < 0 && pipe(wake_pipe) == 0) {
    for (int fd : wake_pipe) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  struct sigaction action = {};
  action.sa_handler = signal_handler;
  sigemptyset(&action.sa_mask);
  // A close request interrupts blocking calls (no SA_RESTART); the idle wait
  // is woken through the pipe in any case.
  action.sa_flags = 0;
  for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM}) sigaction(sig, &action, nullptr);
  // A window size change asks for nothing, so it must not cut short a read
  // from the terminal (the console message box, console line input).
  action.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &action, nullptr);
}

void install_x_error_handler() {
  if (x_error_handler_installed) return;
  previous_x_error_handler = XSetErrorHandler(x_error_handler);
  x_error_handler_installed = true;
}

void restore_x_error_handler() {
  if (!x_error_handler_installed) return;
  XSetErrorHandler(previous_x_error_handler);
  previous_x_error_handler = nullptr;
  x_error_handler_installed = false;
}

void platform_update() {
  platform_input_frame();
  if (close_pending) {
    close_pending = 0;
    drain_wake_pipe();
    handle_close_request();
  }

  process_events();

  if (!x11.display || !x11.window) return;

  while (XPending(x11.display) > 0) {
    XEvent event;
    XNextEvent(x11.display, &event);
    dispatch_x_event(&event);
  }

  // Xlib may already hold events it read while sending requests; those
  // would otherwise sit out the whole wait.
  // poll rather than select: a descriptor number of FD_SETSIZE or above
  // (a program with many files open) cannot go into an fd_set.
  if (idle_wait_ms != 0 && !presented && XQLength(x11.display) == 0 && !close_pending) {
    struct pollfd waiting[2] = {{ConnectionNumber(x11.display), POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
    nfds_t count = wake_pipe[0] >= 0 ? 2 : 1;
    int timeout = idle_wait_ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(idle_wait_ms);
    poll(waiting, count, timeout);
  }

  XQueryKeymap(x11.display, reinterpret_cast<char*>(x11.key_map));
  presented = 0;
}
