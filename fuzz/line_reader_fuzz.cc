// The line reader over any bytes, read through blocks of changing sizes,
// gives the same lines and end-of-file answers as a read of one byte at a
// time; also when the stream is a pipe that is read again after a reopen.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "run/io.h"
#include "run/text_file.h"

namespace keyseq {
namespace {

enum class Call : std::uint8_t {
  kReadLine,
  kReadBoundedLine,
  kAtEndOfFile,
  kReopen
};

struct Step {
  Call call;
  std::size_t block_limit;
};

// The answers of the calls, one text each.
std::vector<std::string> Answers(const std::string& bytes, bool pipe,
                                 const std::vector<Step>& steps,
                                 bool one_byte) {
  FakePlatform platform;
  platform.files["in"] = bytes;
  if (pipe) platform.pipes.insert("in");
  Io io(platform);
  std::vector<std::string> answers;
  {
    TextFile file(io, "in");
    file.KeepForReopen();
    file.OpenForReading();
    for (const Step& step : steps) {
      platform.block_limit = one_byte ? 1 : step.block_limit;
      switch (step.call) {
        case Call::kReadLine:
          answers.emplace_back("L" + std::string(file.ReadLine()));
          break;
        case Call::kReadBoundedLine:
          answers.emplace_back("B" + file.ReadBoundedLine());
          break;
        case Call::kAtEndOfFile:
          answers.emplace_back(file.AtEndOfFile() ? "E1" : "E0");
          break;
        case Call::kReopen:
          // The emptiness test's reopen: the run does it once.
          file.OpenForReading();
          answers.emplace_back("R");
          break;
      }
    }
  }
  if (!platform.blocks.empty()) std::abort();
  return answers;
}

}  // namespace
}  // namespace keyseq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace keyseq;
  FuzzedDataProvider provider(data, size);
  bool pipe = provider.ConsumeBool();
  std::vector<Step> steps(provider.ConsumeIntegralInRange<std::size_t>(1, 64));
  bool reopened = false;
  for (Step& step : steps) {
    auto call = static_cast<Call>(provider.ConsumeIntegralInRange<int>(0, 3));
    if (call == Call::kReopen) {
      if (reopened) call = Call::kReadLine;
      reopened = true;
    }
    step.call = call;
    step.block_limit = provider.ConsumeIntegralInRange<std::size_t>(1, 300);
  }
  std::string bytes = provider.ConsumeRemainingBytesAsString();
  if (Answers(bytes, pipe, steps, false) != Answers(bytes, pipe, steps, true)) {
    std::abort();
  }
  return 0;
}
