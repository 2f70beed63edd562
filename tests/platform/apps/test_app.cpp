// A small application for exercising the program entry, the frame loop,
// close requests and shutdown as a real process. It reports each hook on
// standard output so the caller can check their order.
//
//   --frames=N       app_frame answers false in turn N (default: never)
//   --handler=none|true|false   close-request callback to install
//   --signal=K       sends itself SIGTERM at the start of turn K
//   --exit-hook      registers an exit hook, as the page manager does
//   --temp=PATH      records PATH as this run's temporary folder
//   --make-temp      makes this run's $TEMP (under VORN_TEST_HOME), puts a
//                    file in it and prints "temp PATH"
//   --signal=0       sends itself SIGTERM inside app_init
//   --init-work=MS   console work in app_init for MS ms, then "init done"
//   --exit-in-init   ends with exit(0) at the end of app_init
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "file_services.h"
#include "folder.h"
#include "platform.h"

namespace {

int frame_limit = -1;
int signal_frame = -1;
int frame = 0;
int frames_after_signal = -1;
int close_calls = 0;
bool close_answer = false;

bool close_callback(uint32_t argument) {
  ++close_calls;
  printf("close(%u) -> %s\n", argument, close_answer ? "true" : "false");
  return close_answer;
}

void exit_hook() { printf("exit_hook\n"); }

void make_temporary_folder() {
  set_home_folder_override(getenv("VORN_TEST_HOME"));
  set_system_root_override(getenv("VORN_TEST_HOME"));
  FOLDER temp;
  if (!temp.set("$TEMP")) return;
  if (FILE* file = open_file(temp, "inside.txt", "wb")) fclose(file);
  printf("temp %s\n", temp.path);
}

// Busy for ms milliseconds whatever signals arrive meanwhile.
void console_work(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  printf("init done\n");
}

}  // namespace

bool app_init(int argc, char** argv) {
  printf("init argc=%d started=%d\n", argc, platform_started());
  bool make_temp = false, exit_in_init = false;
  int init_work_ms = 0;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!strncmp(a, "--frames=", 9)) frame_limit = atoi(a + 9);
    else if (!strncmp(a, "--signal=", 9)) signal_frame = atoi(a + 9);
    else if (!strcmp(a, "--handler=true")) close_answer = true, set_close_handler(close_callback);
    else if (!strcmp(a, "--handler=false")) close_answer = false, set_close_handler(close_callback);
    else if (!strcmp(a, "--exit-hook")) set_exit_hook(exit_hook);
    else if (!strncmp(a, "--temp=", 7)) record_temporary_folder(a + 7);
    else if (!strcmp(a, "--make-temp")) make_temp = true;
    else if (!strncmp(a, "--init-work=", 12)) init_work_ms = atoi(a + 12);
    else if (!strcmp(a, "--exit-in-init")) exit_in_init = true;
  }
  if (make_temp) make_temporary_folder();
  fflush(stdout);
  if (signal_frame == 0) kill(getpid(), SIGTERM);
  if (init_work_ms > 0) console_work(init_work_ms);
  fflush(stdout);
  if (exit_in_init) exit(0);
  // Safety net: a test that goes wrong must not spin for ever.
  alarm(30);
  return true;
}

bool app_frame() {
  ++frame;
  if (frames_after_signal >= 0) ++frames_after_signal;
  if (frame == signal_frame) {
    printf("signal at frame %d\n", frame);
    kill(getpid(), SIGTERM);
    frames_after_signal = 0;
  }
  // Without a window the platform frame has nothing to wait on.
  usleep(1000);
  return frame_limit < 0 || frame < frame_limit;
}

void app_shutdown() {
  printf("shutdown frames=%d close_calls=%d after_signal=%d started=%d\n", frame, close_calls,
         frames_after_signal, platform_started());
  // The temporary folder goes only after this hook.
  struct stat st;
  const char* temp = get_temporary_folder_path();
  if (*temp) printf("temp folder %s\n", lstat(temp, &st) == 0 ? "present" : "absent");
  fflush(stdout);
}
