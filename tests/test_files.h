// Helpers the tests share: temporary folders, whole-file reads and writes, and
// running the built program as a process.
#ifndef WADRIX_TESTS_TEST_FILES_H_
#define WADRIX_TESTS_TEST_FILES_H_

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wadrix_test {

/// A fresh folder under the test temp folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
/// Bytes 0, 1, 2, ... of a fixed pseudo-random sequence.
std::string RandomBytes(size_t count, unsigned seed);

struct ProgramRun {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

/// Runs the built Wadrix with `args` (not counting its name), standard input
/// closed to /dev/null, and waits for it. When WADRIX_TEST_WRAPPER is set
/// (for example to "valgrind -q --error-exitcode=99"), the program runs under
/// that command.
struct RunOptions {
  std::string program = WADRIX_PROGRAM;    // the executable to run
  bool as_nobody = false;                  // drop to uid/gid 65534 before starting
  rlim_t file_size_limit = RLIM_INFINITY;  // RLIMIT_FSIZE for the program
};

ProgramRun RunProgram(const std::vector<std::string>& args, const RunOptions& options = {});

/// A stream over memory that fails on demand, for the write, read and close
/// errors that real files only show on a full or broken disk.
struct FaultyStreamState {
  std::string data;              // bytes written so far, or the bytes to read
  size_t position = 0;           // read position in data
  size_t fail_after = SIZE_MAX;  // bytes that go through before reads or writes fail
  bool fail_close = false;       // close reports an error
  bool closed = false;
};

/// Opens a stream over `state`, for writing ("w") or reading ("r").
FILE* OpenFaultyStream(FaultyStreamState& state, const char* mode);

}  // namespace wadrix_test

#endif  // WADRIX_TESTS_TEST_FILES_H_
