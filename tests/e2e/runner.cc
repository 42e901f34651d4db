#include "runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "e2e_config.h"

namespace keyseq::e2e {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

const char* Env(const char* name) { return std::getenv(name); }

std::string Absolute(const std::string& path) {
  return fs::absolute(path).lexically_normal().string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::chrono::seconds Timeout() {
  const char* value = Env("KEYSEQ_E2E_TIMEOUT");
  return std::chrono::seconds(value && *value ? std::atoi(value) : 20);
}

// Writes the test side of the pipes while the program reads them. A
// program that ends without reading everything is no error of the runner.
void FeedPipes(std::vector<std::pair<int, std::string>>& feeds) {
  std::vector<std::size_t> done(feeds.size(), 0);
  auto deadline = std::chrono::steady_clock::now() + Timeout();
  for (;;) {
    std::vector<pollfd> waiting;
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < feeds.size(); ++i) {
      if (feeds[i].first < 0) continue;
      if (done[i] == feeds[i].second.size()) {
        close(feeds[i].first);
        feeds[i].first = -1;
        continue;
      }
      waiting.push_back({feeds[i].first, POLLOUT, 0});
      which.push_back(i);
    }
    if (waiting.empty()) return;
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("the program does not read its pipes");
    }
    if (poll(waiting.data(), waiting.size(), 100) < 0 && errno != EINTR) {
      Fail("poll");
    }
    for (std::size_t k = 0; k < waiting.size(); ++k) {
      if (waiting[k].revents == 0) continue;
      std::size_t i = which[k];
      const std::string& bytes = feeds[i].second;
      ssize_t n =
          write(feeds[i].first, bytes.data() + done[i], bytes.size() - done[i]);
      if (n > 0) {
        done[i] += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        done[i] = bytes.size();  // the reader has gone
      }
    }
  }
}

// Waits for `pid`, killing it when it takes longer than the timeout.
int WaitFor(pid_t pid) {
  auto deadline = std::chrono::steady_clock::now() + Timeout();
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    int status = 0;
    pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid) return status;
    if (got < 0 && errno != EINTR) Fail("waitpid");
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      throw std::runtime_error("the program did not end in time");
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
}

struct Redirect {
  int from;  // in the test
  int to;    // in the program
};

// Starts argv[0] (looked up in PATH when it holds no '/') in `dir` with
// the descriptors `redirects`, every other descriptor of the test closed
// by close-on-exec, `close_stdout` leaving descriptor 1 closed.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& dir,
            const std::vector<Redirect>& redirects, bool close_stdout,
            std::uint64_t address_space_limit) {
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid > 0) return pid;

  // The child: only async-signal-safe calls from here on.
  // Descriptors first move out of the way of the numbers they go to.
  int moved[16];
  std::size_t count = std::min<std::size_t>(redirects.size(), 16);
  for (std::size_t i = 0; i < count; ++i) {
    moved[i] = fcntl(redirects[i].from, F_DUPFD_CLOEXEC, 100);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (moved[i] < 0 || dup2(moved[i], redirects[i].to) < 0) _exit(126);
  }
  if (close_stdout) close(1);
  if (address_space_limit != 0) {
    rlimit limit = {address_space_limit, address_space_limit};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
  }
  // The test ignores SIGPIPE; an ignored signal would stay ignored across
  // exec and hide how the program itself treats a closed pipe.
  signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (chdir(dir.c_str()) != 0) _exit(126);
  execvp(args[0], args.data());
  const char message[] = "runner: cannot execute the program\n";
  ssize_t ignored = write(2, message, sizeof message - 1);
  (void)ignored;
  _exit(127);
}

int OpenFile(const std::string& path, int flags) {
  int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) Fail("open " + path);
  return fd;
}

void Decode(int status, Result& result) {
  if (WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
}

}  // namespace

const std::string& ProgramPath() {
  static const std::string path = [] {
    const char* value = Env("KEYSEQ_PROGRAM");
    return Absolute(value && *value ? value : kDefaultProgram);
  }();
  return path;
}

const std::vector<std::string>& Launcher() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> result;
    if (const char* value = Env("KEYSEQ_LAUNCHER")) {
      std::istringstream in(value);
      for (std::string word; in >> word;) result.push_back(word);
    } else {
      for (const char* const* word = kDefaultLauncher; *word; ++word) {
        result.push_back(*word);
      }
    }
    // The program runs in another folder: relative paths would not hold.
    for (std::string& word : result) {
      if (word.find('/') != std::string::npos && word[0] != '/') {
        word = Absolute(word);
      }
    }
    return result;
  }();
  return words;
}

std::string ModuleName() { return fs::path(ProgramPath()).filename().string(); }

bool TestingPosixBuild() {
  if (const char* target = Env("KEYSEQ_TARGET"); target && *target) {
    return std::string(target) == "posix";
  }
  return !ProgramPath().ends_with(".exe");
}

bool AddressSpaceCanBeLimited() {
  // AddressSanitizer's runtime names itself in the program it is linked to.
  static const bool sanitized =
      ReadAll(ProgramPath()).find("__asan_init") != std::string::npos;
  return !sanitized;
}

std::string ProgramSidePath(const std::string& unix_path) {
  if (TestingPosixBuild()) return unix_path;
  std::string path = "Z:" + unix_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

namespace {

bool IsUpperHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Where the 8 digits of a fatal report's first line begin, from `from`;
// npos when there are none.
std::size_t FindOffset(const std::string& text, std::size_t from) {
  for (;;) {
    std::size_t start = text.find("Exception ", from);
    if (start == std::string::npos) return start;
    std::size_t line_end = text.find(".\r\n", start);
    if (line_end == std::string::npos) return line_end;
    if (line_end >= start + 12 && text.compare(line_end - 12, 4, " at ") == 0 &&
        std::all_of(text.begin() + static_cast<long>(line_end - 8),
                    text.begin() + static_cast<long>(line_end), IsUpperHex)) {
      return line_end - 8;
    }
    from = start + 1;
  }
}

}  // namespace

std::string MaskOffset(const std::string& text) {
  std::string masked = text;
  for (std::size_t at = FindOffset(masked, 0); at != std::string::npos;
       at = FindOffset(masked, at + 8)) {
    masked.replace(at, 8, "XXXXXXXX");
  }
  return masked;
}

std::optional<std::string> OffsetOf(const std::string& text) {
  std::size_t at = FindOffset(text, 0);
  if (at == std::string::npos) return std::nullopt;
  return text.substr(at, 8);
}

std::string FatalReport(const std::string& kind, const std::string& message) {
  return "Exception " + kind + " in module " + ModuleName() +
         " at XXXXXXXX.\r\n" + message + "\r\n\r\n";
}

Sandbox::Sandbox() {
  std::string pattern =
      (fs::temp_directory_path() / "keyseq-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
  root_ = pattern;
  dir_ = root_ + "/work";
  MakeDir("");
  // The test writes pipes that the program may leave unread.
  signal(SIGPIPE, SIG_IGN);
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  if (!Env("KEYSEQ_E2E_KEEP")) fs::remove_all(root_, ignored);
}

std::string Sandbox::Path(const std::string& name) const {
  return dir_ + "/" + name;
}

void Sandbox::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + Path(name));
}

void Sandbox::MakeDir(const std::string& name) const {
  fs::create_directories(name.empty() ? dir_ : Path(name));
}

std::optional<std::string> Sandbox::Read(const std::string& name) const {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(Path(name), error))) return std::nullopt;
  return ReadAll(Path(name));
}

std::vector<std::string> Sandbox::List() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Process Sandbox::Start(const Options& options) const {
  static int runs = 0;
  std::string io_dir = root_ + "/io-" + std::to_string(++runs);
  fs::create_directories(io_dir);

  std::vector<std::string> argv = Launcher();
  argv.push_back(ProgramPath());
  argv.insert(argv.end(), options.args.begin(), options.args.end());

  std::vector<int> to_close;
  std::vector<Redirect> redirects;
  int in = options.stdin_fd;
  if (in < 0) {
    std::ofstream(io_dir + "/stdin", std::ios::binary) << options.stdin_bytes;
    in = OpenFile(io_dir + "/stdin", O_RDONLY);
    to_close.push_back(in);
  }
  redirects.push_back({in, 0});
  bool close_stdout = false;
  if (options.stdout_fd >= 0) {
    redirects.push_back({options.stdout_fd, 1});
  } else {
    switch (options.stdout_mode) {
      case StandardOutput::kCaptured: {
        int out = OpenFile(io_dir + "/stdout", O_WRONLY | O_CREAT | O_TRUNC);
        to_close.push_back(out);
        redirects.push_back({out, 1});
        break;
      }
      case StandardOutput::kClosed: close_stdout = true; break;
      case StandardOutput::kBrokenPipe: {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) Fail("pipe2");
        close(ends[0]);
        to_close.push_back(ends[1]);
        redirects.push_back({ends[1], 1});
        break;
      }
    }
  }
  int err = OpenFile(io_dir + "/stderr", O_WRONLY | O_CREAT | O_TRUNC);
  to_close.push_back(err);
  redirects.push_back({err, 2});

  std::vector<std::pair<int, std::string>> feeds;
  for (const auto& [target, bytes] : options.pipes) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) Fail("pipe2");
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    to_close.push_back(ends[0]);
    redirects.push_back({ends[0], target});
    feeds.emplace_back(ends[1], bytes);
  }

  pid_t pid =
      Spawn(argv, dir_, redirects, close_stdout, options.address_space_limit);
  for (int fd : to_close) close(fd);
  Process process(*this, pid, io_dir);
  FeedPipes(feeds);
  return process;
}

Result Sandbox::Run(const Options& options) const {
  return Start(options).Wait();
}

Process::Process(const Sandbox& sandbox, pid_t pid, std::string io_dir)
    : sandbox_(&sandbox), pid_(pid), io_dir_(std::move(io_dir)) {}

Process::Process(Process&& other) noexcept
    : sandbox_(other.sandbox_), pid_(other.pid_), io_dir_(other.io_dir_) {
  other.pid_ = -1;
}

Process::~Process() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

Result Process::Wait() {
  Result result;
  int status = WaitFor(pid_);
  pid_ = -1;
  Decode(status, result);
  if (fs::exists(io_dir_ + "/stdout"))
    result.out = ReadAll(io_dir_ + "/stdout");
  result.err = ReadAll(io_dir_ + "/stderr");
  result.status_file = sandbox_->Read("@Error.txt");
  return result;
}

Result RunCommand(const std::vector<std::string>& argv) {
  Sandbox sandbox;
  std::string io = sandbox.dir() + "/../io-command";
  fs::create_directories(io);
  int in = OpenFile("/dev/null", O_RDONLY);
  int out = OpenFile(io + "/stdout", O_WRONLY | O_CREAT | O_TRUNC);
  int err = OpenFile(io + "/stderr", O_WRONLY | O_CREAT | O_TRUNC);
  pid_t pid =
      Spawn(argv, sandbox.dir(), {{in, 0}, {out, 1}, {err, 2}}, false, 0);
  close(in);
  close(out);
  close(err);
  Result result;
  Decode(WaitFor(pid), result);
  result.out = ReadAll(io + "/stdout");
  result.err = ReadAll(io + "/stderr");
  return result;
}

std::string PipedText(std::size_t empty_lines) {
  return std::string(empty_lines, '\n') + "an apple\nthe end\n";
}

void ExpectPipedTextScanned(const Result& result, Sandbox& sandbox,
                            std::size_t empty_lines) {
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.status_file, "");
  EXPECT_EQ(result.err, "");
  std::string markers;
  for (std::size_t i = 0; i <= empty_lines; ++i) markers += kMarker;
  // Compared without printing: the markers of 70,000 lines.
  EXPECT_TRUE(result.out == markers) << "markers: " << result.out.size();
  EXPECT_EQ(sandbox.Read("out.txt"), Record("APPLE", "an apple") + kSeparator);
}

}  // namespace keyseq::e2e
