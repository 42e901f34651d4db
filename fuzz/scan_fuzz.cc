// The key scan and the step-by-step scan written as the rules state it
// agree on markers and records for any Input File, any key list and any
// block size the files are read in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scan/key_scan.h"
#include "scan_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace keyseq;
  FuzzedDataProvider provider(data, size);
  std::size_t block = provider.ConsumeIntegralInRange<std::size_t>(1, 1 << 16);
  std::string keys = provider.ConsumeRandomLengthString(4096);
  std::string input = provider.ConsumeRemainingBytesAsString();
  std::string fast = Transcript(ScanKeys, input, keys, block);
  std::string reference = Transcript(ReferenceScan, input, keys, block);
  if (fast != reference) {
    std::fprintf(stderr, "scan:\n%s\nreference:\n%s\n", fast.c_str(),
                 reference.c_str());
    std::abort();
  }
  return 0;
}
