// A small application that makes this run's temporary folder, puts a file
// in it and prints its path, so that a test can see the folder go at
// shutdown (or at a fatal exit with --fatal), then the home folder. Home
// and system root come from VORN_TEST_HOME and VORN_TEST_ROOT where set.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "platform.h"

bool app_init(int argc, char** argv) {
  if (const char* home = getenv("VORN_TEST_HOME")) set_home_folder_override(home);
  set_system_root_override(getenv("VORN_TEST_ROOT"));
  FOLDER temp;
  if (!temp.set("$TEMP")) return false;
  if (FILE* file = open_file(temp, "inside.txt", "wb")) fclose(file);
  printf("%s\n%s\n", temp.path, get_home_folder());
  fflush(stdout);
  if (argc > 1 && strcmp(argv[1], "--fatal") == 0) fatal_exit("stopping");
  return true;
}

bool app_frame() { return false; }

void app_shutdown() {}
