#include "fake_platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "expected_texts.h"
#include "run/fatal.h"
#include "run/run_driver.h"

namespace keyseq {

FakePlatform::~FakePlatform() {
  for (void* block : blocks) std::free(block);
}

int FakePlatform::Fails() {
  ++operations;
  bool fails = fail_at != 0 && (operations == fail_at ||
                                (fail_from_then_on && operations > fail_at));
  return fails ? fail_code : 0;
}

Opened FakePlatform::OpenForReading(const std::string& name) {
  Opened opened;
  log.push_back("open-read " + name);
  if ((opened.code = Fails())) return opened;
  if (directories.count(name)) {
    opened.code = kAccessDenied;
  } else if (!files.count(name)) {
    opened.code = 2;
  } else {
    for (const auto& [handle, open] : open_) {
      if (open.name == name && open.writing) opened.code = kAccessDenied;
    }
  }
  if (opened.code != 0) return opened;
  opened.handle = next_handle_++;
  opened.reopenable = !pipes.count(name);
  open_[opened.handle] = {name, false,
                          pipes.count(name) ? pipe_positions_[name] : 0};
  return opened;
}

Opened FakePlatform::OpenForWriting(const std::string& name) {
  Opened opened;
  log.push_back("open-write " + name);
  if ((opened.code = Fails())) return opened;
  if (directories.count(name)) opened.code = kAccessDenied;
  for (const auto& [handle, open] : open_) {
    if (open.name == name) opened.code = kAccessDenied;
  }
  if (opened.code != 0) return opened;
  files[name].clear();
  written.insert(name);
  opened.handle = next_handle_++;
  open_[opened.handle] = {name, true, 0};
  return opened;
}

std::string* FakePlatform::Content(Handle handle) {
  if (handle == 0) return &standard_input;
  if (handle == 1) return &standard_output;
  if (handle == 2) return &standard_error;
  auto open = open_.find(handle);
  return open == open_.end() ? nullptr : &files[open->second.name];
}

int FakePlatform::Read(Handle handle, char* data, std::size_t size,
                       std::size_t* got) {
  *got = 0;
  std::string* content = Content(handle);
  std::size_t* position = handle == 0 ? &input_position_ : nullptr;
  if (auto open = open_.find(handle); open != open_.end()) {
    position = pipes.count(open->second.name)
                   ? &pipe_positions_[open->second.name]
                   : &open->second.position;
  }
  log.push_back("read " +
                (handle == 0 ? std::string("<stdin>") : open_[handle].name));
  if (int code = Fails()) return code;
  *got = std::min({size, block_limit, content->size() - *position});
  std::memcpy(data, content->data() + *position, *got);
  *position += *got;
  return 0;
}

int FakePlatform::Write(Handle handle, const char* data, std::size_t size) {
  std::string name = handle == 1   ? "<stdout>"
                     : handle == 2 ? "<stderr>"
                                   : open_[handle].name;
  log.push_back("write " + name + " " + std::to_string(size));
  if (int code = Fails()) return code;
  Content(handle)->append(data, size);
  return 0;
}

int FakePlatform::Close(Handle handle) {
  log.push_back("close " + open_[handle].name);
  int code = Fails();
  open_.erase(handle);
  return code;
}

bool FakePlatform::IsTerminal(Handle handle) {
  return handle == 1 && output_is_terminal;
}

void* FakePlatform::Reallocate(void* block, std::size_t size) {
  ++allocations;
  largest_allocation = std::max(largest_allocation, size);
  if (allocations == fail_allocation_at) return nullptr;
  void* grown = std::realloc(block, size);
  blocks.erase(block);
  blocks.insert(grown);
  return grown;
}

void FakePlatform::Free(void* block) {
  blocks.erase(block);
  std::free(block);
}

FakePlatform Example() {
  FakePlatform platform;
  platform.files["in.txt"] = kExampleInput;
  platform.files["keys.txt"] = kExampleKeys;
  platform.parameters = {"in.txt", "keys.txt", "out.txt"};
  return platform;
}

int RunOver(FakePlatform& platform) {
  try {
    return RunKeyseq(platform);
  } catch (const FakePlatform::Exited& exited) {
    return exited.status;
  }
}

}  // namespace keyseq
