// The program: every argument after the program name names a FLIC to open.
#include <cstdio>

#include "app/app.h"

int main(int argc, char** argv) {
  if (app_option(argc, argv, stdout) == 1) return 0;
  if (win_startup(&argc, argv) != 1) {
    std::fprintf(stderr,
                 "moxflic: no display available (DISPLAY is not set); to turn a FLIC into pictures use: "
                 "moxflic-export FILE out%%04d.png\n");
    return 1;
  }
  app_reset();
  app_start(app_arguments(argc, argv), WIN_SW_SHOWDEFAULT);
  int32_t code = app_run();
  win_shutdown();
  return code;
}
