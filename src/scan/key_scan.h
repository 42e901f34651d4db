// The key sequence scan: finds the keys of the Key Collection File, in their
// order, in the lines of the Input File, each to the right of the previous
// key's match, and reports every line in which keys were found.
#pragma once

#include "run/text_file.h"
#include "scan/scan_output.h"
#include "scan/strings.h"

namespace keyseq {

// Both files are open and at their first line. Returns when both are at
// their end, after CloseReport.
void ScanKeys(TextFile& InputFile, TextFile& KeyCollectionFile,
              ScanOutput& output, const CaseTable& upper);

}  // namespace keyseq
