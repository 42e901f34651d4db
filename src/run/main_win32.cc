#include "run/platform_win32.h"
#include "run/run_driver.h"

int main() {
  keyseq::Win32Platform platform;
  int status = keyseq::RunKeyseq(platform);
  platform.Exit(status);
}
