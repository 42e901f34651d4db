#include "run/platform_posix.h"
#include "run/run_driver.h"

int main(int argc, char** argv) {
  keyseq::PosixPlatform platform(argc, argv);
  return keyseq::RunKeyseq(platform);
}
