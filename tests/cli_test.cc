// The built program run as a process: its exit status, its exact standard
// output, an empty standard error and the exact bytes it leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/messages.h"
#include "tests/test_files.h"

namespace {

using wadrix_test::Exists;
using wadrix_test::kBanner;
using wadrix_test::kCreateOutput;
using wadrix_test::kOpenInput;
using wadrix_test::kSameFile;
using wadrix_test::kSeekEnd;
using wadrix_test::kTell;
using wadrix_test::kUsage;
using wadrix_test::kWriteError;
using wadrix_test::ProgramRun;
using wadrix_test::RandomBytes;
using wadrix_test::ReadFile;
using wadrix_test::RunOptions;
using wadrix_test::RunProgram;
using wadrix_test::TempDir;
using wadrix_test::WriteFile;

const std::string kConverted = std::string("Converting...\n") + wadrix_test::kDone;

std::string Report(int64_t flash, int64_t image, int64_t file, int64_t offset,
                   int64_t file_offset) {
  return "FlashSize  = " + std::to_string(flash) + "\nImageSize  = " + std::to_string(image) +
         "\nFileSize   = " + std::to_string(file) + "\nOffset     = " + std::to_string(offset) +
         "\nFileOffset = " + std::to_string(file_offset) + "\n";
}

struct FileState {
  std::string path;
  std::optional<std::string> bytes;  // none for inputs too large to read back
  struct timespec modified;
};

// Every test owns a folder; every input it makes there is checked, after the
// test, to hold the same bytes and modification time as before the runs.
class CliTest : public testing::Test {
 protected:
  std::string Input(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ / name;
    WriteFile(path, bytes);
    Remember(path);
    return path;
  }

  // An input of `size` bytes that holds no data on disk.
  std::string SparseInput(const std::string& name, off_t size) {
    const std::string path = dir_ / name;
    WriteFile(path, "");
    if (truncate(path.c_str(), size) != 0) ADD_FAILURE() << "truncate " << path;
    inputs_.push_back({path, std::nullopt, Modified(path)});
    return path;
  }

  void Remember(const std::string& path) {
    inputs_.push_back({path, ReadFile(path), Modified(path)});
  }

  static struct timespec Modified(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mtim;
  }

  void TearDown() override {
    for (const FileState& input : inputs_) {
      SCOPED_TRACE("input " + input.path);
      if (input.bytes) {
        EXPECT_EQ(ReadFile(input.path), *input.bytes);
      }
      const struct timespec now = Modified(input.path);
      EXPECT_EQ(now.tv_sec, input.modified.tv_sec);
      EXPECT_EQ(now.tv_nsec, input.modified.tv_nsec);
    }
  }

  TempDir dir_;
  std::vector<FileState> inputs_;
};

void ExpectRun(const ProgramRun& run, int status, const std::string& after_banner) {
  EXPECT_EQ(run.status, status);
  EXPECT_EQ(run.out, kBanner + after_banner);
  EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, PrintsTheUsageForAWrongArgumentCount) {
  const std::string in = Input("in.bin", "12345678");
  const std::string out = dir_ / "out.ik";
  const std::vector<std::vector<std::string>> cases = {
      {}, {in}, {in, out, "64"}, {in, out, "64", "16", "x"}, {in, out, "64", "16", "x", "y"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(std::to_string(args.size()) + " arguments");
    ExpectRun(RunProgram(args), 1, kUsage);
    EXPECT_FALSE(Exists(out));
  }
}

TEST_F(CliTest, ConvertsTheWholeFileFromWordAddressZero) {
  struct Case {
    const char* name;
    std::string input;
    std::string dump;
  };
  const Case cases[] = {
      {"10 bytes", "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a", "@0 04030201\r\n@1 08070605\r\n"},
      {"empty", "", ""},
      {"3 bytes", "abc", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = Input(std::string(c.name) + ".bin", c.input);
    const std::string out = dir_ / (std::string(c.name) + ".ik");
    const auto n = static_cast<int64_t>(c.input.size());
    ExpectRun(RunProgram({in, out}), 0, Report(n, n, n, 0, 0) + kConverted);
    EXPECT_TRUE(Exists(out));
    EXPECT_EQ(ReadFile(out), c.dump);
  }
}

TEST_F(CliTest, ReplacesAnExistingOutput) {
  const std::string in = Input("in.bin", "\xff\xff\xff\xff");
  const std::string out = dir_ / "out.ik";
  WriteFile(out, std::string(1000, 'x'));
  ExpectRun(RunProgram({in, out}), 0, Report(4, 4, 4, 0, 0) + kConverted);
  EXPECT_EQ(ReadFile(out), "@0 ffffffff\r\n");
}

TEST_F(CliTest, PlacesTheTopOfTheFileAtTheTopOfTheFlash) {
  std::string bytes(40, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
  const std::string in = Input("in.bin", bytes);
  struct Case {
    const char* flash;
    const char* image;
    std::string report;
    std::string dump;
  };
  const Case cases[] = {
      {"64", "16", Report(64, 16, 40, 12, 24),
       "@c 1b1a1918\r\n@d 1f1e1d1c\r\n@e 23222120\r\n@f 27262524\r\n"},
      {"0", "8", Report(0, 8, 40, -2, 32), "@fffffffe 23222120\r\n@ffffffff 27262524\r\n"},
      {"48", "6", Report(48, 6, 40, 10, 34), "@a 25242322\r\n"},
      {" +64", "0", Report(64, 0, 40, 16, 40), ""},
      {"64", "-4", Report(64, -4, 40, 17, 44), ""},
      {"4294967360", "4294967312", Report(64, 16, 40, 12, 24),
       "@c 1b1a1918\r\n@d 1f1e1d1c\r\n@e 23222120\r\n@f 27262524\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flash) + " " + c.image);
    const std::string out = dir_ / "out.ik";
    ExpectRun(RunProgram({in, out, c.flash, c.image}), 0, c.report + kConverted);
    EXPECT_EQ(ReadFile(out), c.dump);
  }
}

TEST_F(CliTest, ConvertsTheBundledSample) {
  const std::string in = dir_ / "boot.bin";
  WriteFile(in, ReadFile(WADRIX_SOURCE_DIR "/sample/boot.bin"));
  Remember(in);
  const std::string out = dir_ / "boot.ik";
  ExpectRun(RunProgram({in, out, "4194304", "1024"}), 0,
            Report(4194304, 1024, 2048, 1048320, 1024) + kConverted);
  const std::string dump = ReadFile(out);
  EXPECT_EQ(dump.substr(0, 7), "@fff00 ");
  EXPECT_EQ(dump.size(), 256u * 17u);
  EXPECT_EQ(dump.substr(dump.size() - 17, 7), "@fffff ");
}

TEST_F(CliTest, RefusesWhatCannotBeOpenedOrCreated) {
  const std::string in = Input("in.bin", "12345678");
  const std::string folder = dir_ / "folder";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string out = dir_ / "out.ik";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"missing input, sizes not numbers",
       {dir_ / "missing.bin", out, "abc", "def"},
       2,
       kOpenInput},
      {"input is a folder", {folder, out}, 2, kOpenInput},
      {"input is empty text", {"", out}, 2, kOpenInput},
      {"output folder missing", {in, dir_ / "none/out.ik"}, 3, kCreateOutput},
      {"output is a folder", {in, folder}, 3, kCreateOutput},
      {"output is empty text", {in, ""}, 3, kCreateOutput},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRun(RunProgram(c.args), c.status, c.message);
    EXPECT_FALSE(Exists(out));
  }
}

TEST_F(CliTest, RefusesBadSizeArgumentsAfterCreatingTheOutput) {
  const std::string in = Input("in.bin", "12345678");
  const std::string out = dir_ / "out.ik";
  struct Case {
    const char* flash;
    const char* image;
    std::string message;
  };
  const Case cases[] = {
      {"abc", "-", wadrix_test::kBadFlashSize},  {"", "8", wadrix_test::kBadFlashSize},
      {"- 5", "8", wadrix_test::kBadFlashSize},  {"64", "--5", wadrix_test::kBadImageSize},
      {"64", "   ", wadrix_test::kBadImageSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flash) + "|" + c.image);
    WriteFile(out, "old contents");
    ExpectRun(RunProgram({in, out, c.flash, c.image}), 5, c.message);
    EXPECT_TRUE(Exists(out));
    EXPECT_EQ(ReadFile(out), "");
  }
}

TEST_F(CliTest, RefusesAnImageThatStartsBeforeTheFile) {
  const std::string in = Input("in.bin", "12345678");
  const std::string out = dir_ / "out.ik";
  struct Case {
    const char* image;
    std::string after_banner;
  };
  const Case cases[] = {
      {"12", Report(64, 12, 8, 13, -4) + "Can't seek in the input file, offset = 0xFFFFFFFC \n"},
      {"-2147483647", Report(64, -2147483647, 8, -536870896, -2147483641) +
                          "Can't seek in the input file, offset = 0x80000007 \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image);
    ExpectRun(RunProgram({in, out, "64", c.image}), 6, c.after_banner);
    EXPECT_EQ(ReadFile(out), "");
  }
}

TEST_F(CliTest, RefusesToWriteTheDumpOverItsOwnInput) {
  const std::string in = Input("in.bin", "12345678");
  const std::string hard_link = dir_ / "hard.bin";
  const std::string symbolic_link = dir_ / "soft.bin";
  ASSERT_EQ(link(in.c_str(), hard_link.c_str()), 0);
  ASSERT_EQ(symlink(in.c_str(), symbolic_link.c_str()), 0);
  const std::string spellings[] = {in, dir_ / "./in.bin", dir_.path() + "//in.bin", hard_link,
                                   symbolic_link};
  for (const std::string& out : spellings) {
    SCOPED_TRACE(out);
    ExpectRun(RunProgram({in, out}), 3, kSameFile);
    ExpectRun(RunProgram({in, out, "64", "8"}), 3, kSameFile);
    ExpectRun(RunProgram({symbolic_link, out}), 3, kSameFile);
  }
}

TEST_F(CliTest, ReportsAFullDisk) {
  const std::string in = Input("in.bin", RandomBytes(4096, 2));
  ExpectRun(RunProgram({in, "/dev/full"}), 7,
            Report(4096, 4096, 4096, 0, 0) + "Converting...\n" + kWriteError);
  // With nothing to write, nothing fails.
  const std::string empty = Input("empty.bin", "");
  ExpectRun(RunProgram({empty, "/dev/full"}), 0, Report(0, 0, 0, 0, 0) + kConverted);
}

TEST_F(CliTest, ReportsADumpCutOffByAFileSizeLimit) {
  const std::string in = Input("in.bin", RandomBytes(64 * 1024, 4));
  const std::string whole = dir_ / "whole.ik";
  ExpectRun(RunProgram({in, whole}), 0, Report(65536, 65536, 65536, 0, 0) + kConverted);
  const std::string out = dir_ / "out.ik";
  RunOptions options;
  options.file_size_limit = 10000;
  ExpectRun(RunProgram({in, out}, options), 7,
            Report(65536, 65536, 65536, 0, 0) + "Converting...\n" + kWriteError);
  const std::string dump = ReadFile(out);
  EXPECT_LE(dump.size(), 10000u);
  EXPECT_EQ(dump, ReadFile(whole).substr(0, dump.size()));
}

// A reader of the dump that goes away (a FIFO, a pipe) fails the dump like a
// full disk, rather than killing the program without a word.
TEST_F(CliTest, ReportsAReaderThatGoesAway) {
  const std::string in = Input("in.bin", RandomBytes(1 << 20, 6));
  const std::string fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string first_bytes(100, '\0');
  std::thread read_a_little([&] {
    // Opening waits for the program to open its end.
    const int reader = open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    size_t got = 0;
    while (reader >= 0 && got < first_bytes.size()) {
      const ssize_t n = read(reader, first_bytes.data() + got, first_bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (reader >= 0) close(reader);
  });
  const ProgramRun run = RunProgram({in, fifo});
  // Should the program not have opened the FIFO, the reader is still waiting.
  const int release = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (release >= 0) close(release);
  read_a_little.join();
  ExpectRun(run, 7, Report(1 << 20, 1 << 20, 1 << 20, 0, 0) + "Converting...\n" + kWriteError);
  EXPECT_EQ(first_bytes.substr(0, 3), "@0 ");
}

// Sizes measured with 64-bit positions are judged as 32-bit byte counts.
TEST_F(CliTest, JudgesTheSizeOfLargeInputs) {
  const std::string out = dir_ / "out.ik";
  {
    SCOPED_TRACE("2^31 - 1 bytes, the largest input");
    const std::string in = SparseInput("largest.bin", 0x7fffffff);
    ExpectRun(RunProgram({in, out, "4194304", "16"}), 0,
              Report(4194304, 16, 2147483647, 1048572, 2147483631) + kConverted);
    EXPECT_EQ(ReadFile(out),
              "@ffffc 00000000\r\n@ffffd 00000000\r\n@ffffe 00000000\r\n@fffff 00000000\r\n");
  }
  struct Case {
    off_t size;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {off_t{1} << 31, 5, kTell},           {(off_t{1} << 32) - 2, 5, kTell},
      {(off_t{1} << 32) - 1, 4, kSeekEnd},  {off_t{1} << 32, 4, kSeekEnd},
      {(off_t{1} << 32) + 16, 4, kSeekEnd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " bytes");
    const std::string in = SparseInput(std::to_string(c.size) + ".bin", c.size);
    ExpectRun(RunProgram({in, out}), c.status, c.message);
    ExpectRun(RunProgram({in, out, "64", "8"}), c.status, c.message);
    EXPECT_EQ(ReadFile(out), "");
    ASSERT_EQ(unlink(in.c_str()), 0);
    inputs_.pop_back();
  }
}

TEST_F(CliTest, ConvertsNothingFromADeviceThatMeasuresZeroBytes) {
  const std::string out = dir_ / "out.ik";
  for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/null"}) {
    SCOPED_TRACE(device);
    ExpectRun(RunProgram({device, out}), 0, Report(0, 0, 0, 0, 0) + kConverted);
    EXPECT_EQ(ReadFile(out), "");
  }
}

TEST_F(CliTest, RefusesANegativeFileOffsetOnADeviceThatAcceptsAnyPosition) {
  const std::string out = dir_ / "out.ik";
  ExpectRun(RunProgram({"/dev/zero", out, "6", "59156971"}), 6,
            Report(6, 59156971, 0, -14789241, -59156971) +
                "Can't seek in the input file, offset = 0xFC795615 \n");
  EXPECT_EQ(ReadFile(out), "");
}

TEST_F(CliTest, RefusesAnInputThatCannotBePositioned) {
  const std::string fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string out = dir_ / "out.ik";
  {
    SCOPED_TRACE("no writer");
    ExpectRun(RunProgram({fifo, out}), 4, kSeekEnd);
  }
  {
    SCOPED_TRACE("a writer holds it open");
    const int writer = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "12345678", 8), 8);
    ExpectRun(RunProgram({fifo, out}), 4, kSeekEnd);
    close(writer);
  }
  {
    SCOPED_TRACE("a pipe, inherited and named by /dev/fd");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "12345678", 8), 8);
    ExpectRun(RunProgram({"/dev/fd/" + std::to_string(ends[0]), out}), 4, kSeekEnd);
    close(ends[0]);
    close(ends[1]);
  }
  EXPECT_EQ(ReadFile(out), "");
}

TEST_F(CliTest, HandlesAnyFileName) {
  const std::string bytes = "\x01\x02\x03\x04";
  const char* names[] = {"with space.bin", "\xff\xfe latin1 \xe9.bin", "-leading-dash", "--", "-"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string in = Input(name, bytes);
    const std::string out = dir_ / (std::string(name) + ".ik");
    ExpectRun(RunProgram({in, out}), 0, Report(4, 4, 4, 0, 0) + kConverted);
    EXPECT_EQ(ReadFile(out), "@0 04030201\r\n");
  }
  // A relative name that starts with a dash is a file name like any other.
  const std::string in = Input("-in", bytes);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  ExpectRun(RunProgram({"-in", "-out"}), 0, Report(4, 4, 4, 0, 0) + kConverted);
  EXPECT_EQ(ReadFile(dir_ / "-out"), "@0 04030201\r\n");
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(CliTest, RefusesPathsLongerThanTheSystemAllows) {
  const std::string in = Input("in.bin", "12345678");
  const std::string long_name = dir_ / std::string(NAME_MAX + 1, 'n');
  std::string long_path = dir_.path();
  while (long_path.size() <= PATH_MAX) long_path += "/.";
  const std::string out = dir_ / "out.ik";
  for (const std::string& path : {long_name, long_path + "/in.bin"}) {
    SCOPED_TRACE(path.size());
    ExpectRun(RunProgram({path, out}), 2, kOpenInput);
    EXPECT_FALSE(Exists(out));
  }
  for (const std::string& path : {long_name, long_path + "/out.ik"}) {
    SCOPED_TRACE(path.size());
    ExpectRun(RunProgram({in, path}), 3, kCreateOutput);
  }
}

// Permissions do not hold for root, so as root these run the program as the
// user nobody, from a copy that nobody may start wherever the build lies.
TEST_F(CliTest, RefusesFilesWithoutPermission) {
  RunOptions options;
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  if (geteuid() == 0) {
    options.as_nobody = true;
    options.program = dir_ / "Wadrix";
    WriteFile(options.program, ReadFile(WADRIX_PROGRAM));
    ASSERT_EQ(chmod(options.program.c_str(), 0755), 0);
  }
  const std::string in = Input("in.bin", "12345678");
  ASSERT_EQ(chmod(in.c_str(), 0644), 0);
  const std::string unreadable = Input("unreadable.bin", "12345678");
  ASSERT_EQ(chmod(unreadable.c_str(), 0), 0);
  const std::string read_only = dir_ / "read-only.ik";
  WriteFile(read_only, "keep");
  ASSERT_EQ(chmod(read_only.c_str(), 0444), 0);
  const std::string closed_folder = dir_ / "closed";
  ASSERT_EQ(mkdir(closed_folder.c_str(), 0555), 0);
  Remember(read_only);

  // The program runs, and can read what everyone may read.
  ExpectRun(RunProgram({in, "/dev/null"}, options), 0, Report(8, 8, 8, 0, 0) + kConverted);
  ExpectRun(RunProgram({unreadable, dir_ / "out.ik"}, options), 2, kOpenInput);
  ExpectRun(RunProgram({in, read_only}, options), 3, kCreateOutput);
  ExpectRun(RunProgram({in, closed_folder + "/out.ik"}, options), 3, kCreateOutput);
  EXPECT_FALSE(Exists(dir_ / "out.ik"));
  EXPECT_EQ(ReadFile(read_only), "keep");
}

}  // namespace
