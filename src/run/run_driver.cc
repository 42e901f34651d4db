#include "run/run_driver.h"

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "run/command_line.h"
#include "run/fatal.h"
#include "run/io.h"
#include "run/text_file.h"
#include "scan/key_scan.h"
#include "scan/match_report.h"
#include "scan/strings.h"

namespace keyseq {

namespace {

constexpr std::string_view kStatusFileName = "@Error.txt";

constexpr std::string_view kUsage[] = {
    "The parameter is missing!",
    "Using the Brivel Content Analyzer:",
    "  !!_BrivelContentAnalysis-.bat <the name of the file to be examined>",
    "  where the depending on the language: -DE, -EN, -FR, -HU, etc., ",
    "    and the file to be examined is a text file of type doc, docx, or "
    "txt,",
    "        which should also be placed in this folder.",
    "",
};

// Replaces what the status file holds with the usage text.
void WriteUsage(TextFile& ErrorFile) {
  ErrorFile.OpenForWriting();
  for (std::string_view line : kUsage) ErrorFile.WriteLine(line);
  ErrorFile.CloseFile();
}

void ReportOpenFailure(TextFile& ErrorFile, std::string_view message) {
  ErrorFile.WriteLine(message);
  ErrorFile.WriteLine("");
  ErrorFile.CloseFile();
}

// Reads up to the first line that holds a character. A line is empty just
// when its bounded start is, and the bounded read does not hold a long
// line in memory only to drop it.
bool HoldsNonEmptyLine(TextFile& file) {
  while (!file.AtEndOfFile()) {
    if (!file.ReadBoundedLine().empty()) return true;
  }
  return false;
}

void Run(Io& io, TextFile& ErrorFile) {
  // Dropped unless written out by a later message: an empty status file
  // after the run means success.
  ErrorFile.OpenForWriting();
  ErrorFile.WriteLine(" ");

  std::vector<std::string> parameters = io.platform().Parameters();
  if (parameters.empty()) return WriteUsage(ErrorFile);
  TextFile InputFile(io, Parameter(parameters, 1));
  TextFile KeyCollectionFile(io, Parameter(parameters, 2));
  TextFile OutputFile(io, Parameter(parameters, 3));

  // The emptiness test reads the Input File before the scan reads it again.
  InputFile.KeepForReopen();
  InputFile.OpenForReading();
  if (io.TakeStatus() != 0) {
    return ReportOpenFailure(ErrorFile,
                             " >> Unable to open Input File for reading...");
  }
  KeyCollectionFile.OpenForReading();
  if (io.TakeStatus() != 0) {
    return ReportOpenFailure(
        ErrorFile, " >> Unable to open Key Collection File for reading...");
  }
  OutputFile.OpenForWriting();
  if (io.TakeStatus() != 0) {
    return ReportOpenFailure(ErrorFile,
                             " >> Unable to open Output File for writing...");
  }

  if (!HoldsNonEmptyLine(InputFile)) {
    io.Output().WriteLine("The InputFile is empty!");
    return WriteUsage(ErrorFile);
  }
  InputFile.OpenForReading();
  MatchReport report(OutputFile, io.Output());
  ScanKeys(InputFile, KeyCollectionFile, report, SystemUpperCase());
}

[[noreturn, gnu::noinline]] void OutOfMemory(Io& io) {
  io.Fatal(kOutOfMemory, kOutOfMemoryMessage, __builtin_return_address(0));
}

}  // namespace

int RunKeyseq(Platform& platform) {
  Io io(platform);
  TextFile ErrorFile(io, std::string(kStatusFileName));
  io.SetStatusFile(ErrorFile);
  try {
    Run(io, ErrorFile);
  } catch (const std::bad_alloc&) {
    // The files of the run are gone with their buffers; the status file
    // and standard output remain for the report.
    OutOfMemory(io);
  }
  io.Finish();
  return 0;
}

}  // namespace keyseq
