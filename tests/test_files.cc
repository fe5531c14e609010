#include "tests/test_files.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace wadrix_test {
namespace {

// Exit status of a child that could not start the program.
constexpr int kCouldNotStart = 127;

}  // namespace

TempDir::TempDir() {
  std::string pattern = testing::TempDir() + "wadrix-XXXXXX";
  char* made = mkdtemp(pattern.data());
  if (made == nullptr) {
    ADD_FAILURE() << "mkdtemp failed for " << pattern;
    std::abort();
  }
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xff);
  return bytes;
}

ProgramRun RunProgram(const std::vector<std::string>& args, const RunOptions& options) {
  TempDir capture;
  const std::string out_path = capture / "stdout";
  const std::string err_path = capture / "stderr";
  std::vector<std::string> copies;
  if (const char* wrapper = std::getenv("WADRIX_TEST_WRAPPER")) {
    std::istringstream words(wrapper);
    for (std::string word; words >> word;) copies.push_back(word);
  }
  const std::string& program = options.program;
  copies.push_back(program);
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(kCouldNotStart);
    }
    if (options.file_size_limit != RLIM_INFINITY) {
      const struct rlimit limit = {options.file_size_limit, options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(kCouldNotStart);
    }
    if (options.as_nobody &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(kCouldNotStart);
    }
    execvp(argv[0], argv.data());
    _exit(kCouldNotStart);
  }
  ProgramRun run;
  int wait_status = 0;
  if (pid < 0 || waitpid(pid, &wait_status, 0) != pid) {
    ADD_FAILURE() << "could not run " << program;
    return run;
  }
  if (WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}

namespace {

ssize_t FaultyWrite(void* cookie, const char* buffer, size_t size) {
  auto& state = *static_cast<FaultyStreamState*>(cookie);
  if (state.data.size() >= state.fail_after) {
    errno = ENOSPC;
    return -1;
  }
  const size_t taken = std::min(size, state.fail_after - state.data.size());
  state.data.append(buffer, taken);
  return static_cast<ssize_t>(taken);
}

ssize_t FaultyRead(void* cookie, char* buffer, size_t size) {
  auto& state = *static_cast<FaultyStreamState*>(cookie);
  if (state.position >= state.fail_after) {
    errno = EIO;
    return -1;
  }
  const size_t limit = std::min(state.data.size(), state.fail_after);
  const size_t given = std::min(size, limit - std::min(limit, state.position));
  std::memcpy(buffer, state.data.data() + state.position, given);
  state.position += given;
  return static_cast<ssize_t>(given);
}

int FaultySeek(void* cookie, off64_t* offset, int whence) {
  auto& state = *static_cast<FaultyStreamState*>(cookie);
  const off64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<off64_t>(state.position)
                                            : static_cast<off64_t>(state.data.size());
  if (*offset < -base) {
    errno = EINVAL;
    return -1;
  }
  state.position = static_cast<size_t>(base + *offset);
  *offset = static_cast<off64_t>(state.position);
  return 0;
}

int FaultyClose(void* cookie) {
  auto& state = *static_cast<FaultyStreamState*>(cookie);
  state.closed = true;
  if (state.fail_close) {
    errno = EIO;
    return -1;
  }
  return 0;
}

}  // namespace

FILE* OpenFaultyStream(FaultyStreamState& state, const char* mode) {
  const cookie_io_functions_t functions = {FaultyRead, FaultyWrite, FaultySeek, FaultyClose};
  return fopencookie(&state, mode, functions);
}

}  // namespace wadrix_test
