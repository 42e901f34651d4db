// The run: the status file, the command line, the three files, the
// emptiness test of the Input File, the scan and the usage text.
#pragma once

#include "run/platform.h"

namespace keyseq {

// Runs the tool. Returns the exit status of a run that ends by itself; a
// fatal error ends the process through Platform::Exit.
int RunKeyseq(Platform& platform);

}  // namespace keyseq
