// Whole runs of the program, in-process, on arbitrary argument vectors of 0
// to 5 entries. The file names come from a small set of prepared files (so a
// run can never write outside its folder); the other entries are arbitrary
// text. Every run must end with a documented status and the message that
// goes with it, and leave the prepared inputs as they were.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/run.h"
#include "fuzz/fuzz_check.h"
#include "tests/messages.h"

namespace {

struct Prepared {
  std::string folder;
  std::string input;       // 37 bytes
  std::string input_link;  // symbolic link to input
  std::string input_hard;  // hard link to input
  std::string empty;       // 0 bytes
  std::string subfolder;
  std::string missing;  // never exists
  std::string fifo;     // no writer
  std::string output;   // where dumps may go
  std::string input_bytes;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Made once and kept for the life of the process, which removes the folder.
const Prepared& Files() {
  static const Prepared* const prepared = [] {
    auto* made = new Prepared;
    Prepared& p = *made;
    std::string pattern = std::filesystem::temp_directory_path().string() + "/wadrix-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    p.folder = pattern;
    p.input = p.folder + "/in.bin";
    p.input_link = p.folder + "/in-link.bin";
    p.input_hard = p.folder + "/in-hard.bin";
    p.empty = p.folder + "/empty.bin";
    p.subfolder = p.folder + "/folder";
    p.missing = p.folder + "/missing.bin";
    p.fifo = p.folder + "/fifo";
    p.output = p.folder + "/out.ik";
    for (int i = 0; i < 37; ++i) p.input_bytes += static_cast<char>(i * 37 + 11);
    std::ofstream(p.input, std::ios::binary) << p.input_bytes;
    std::ofstream(p.empty, std::ios::binary).flush();
    FUZZ_CHECK(symlink(p.input.c_str(), p.input_link.c_str()) == 0);
    FUZZ_CHECK(link(p.input.c_str(), p.input_hard.c_str()) == 0);
    FUZZ_CHECK(mkdir(p.subfolder.c_str(), 0755) == 0);
    FUZZ_CHECK(mkfifo(p.fifo.c_str(), 0600) == 0);
    std::atexit([] { std::filesystem::remove_all(Files().folder); });
    return made;
  }();
  return *prepared;
}

// The file names a run may be given. Writing to any of the outputs is safe:
// an input among them is refused as the same file.
std::string InputName(uint8_t choice) {
  const Prepared& p = Files();
  const std::string names[] = {p.input,   p.input_link, p.input_hard, p.empty,     p.subfolder,
                               p.missing, p.fifo,       "/dev/zero",  "/dev/null", ""};
  return names[choice % std::size(names)];
}

std::string OutputName(uint8_t choice, const std::string& input) {
  const Prepared& p = Files();
  const bool input_is_prepared_file =
      input == p.input || input == p.input_link || input == p.input_hard;
  const std::string same = input_is_prepared_file ? input : p.output;
  const std::string names[] = {p.output,     "/dev/full",           "/dev/null",
                               p.subfolder,  p.missing + "/out.ik", same,
                               p.input_link, p.input_hard,          ""};
  const std::string name = names[choice % std::size(names)];
  // The links name the input file; only a run that reads it may be given them.
  if ((name == p.input_link || name == p.input_hard) && !input_is_prepared_file) return p.output;
  return name;
}

// Whether a run that ended with `status` printed what goes with it: for
// statuses 1 to 5 the banner and the message alone, for 0, 7 and 8 the report
// and then the message, for 6 the report and the start of its message.
bool PrintedAsDocumented(int status, const std::string& printed) {
  const std::string banner = wadrix_test::kBanner;
  for (const auto& entry : wadrix_test::kStatusMessages) {
    if (entry.status != status) continue;
    for (const char* message : entry.messages) {
      if (message == nullptr) continue;
      if (status >= wadrix::kExitUsage && status <= wadrix::kExitSize) {
        if (printed == std::string(banner).append(message)) return true;
      } else if (status == wadrix::kExitSeekOffset) {
        if (printed.find(std::string("\n").append(message)) != std::string::npos) return true;
      } else {
        const std::string tail = std::string("Converting...\n").append(message);
        if (printed.size() >= tail.size() &&
            printed.compare(printed.size() - tail.size(), tail.size(), tail) == 0) {
          return true;
        }
      }
    }
  }
  return false;
}

}  // namespace

// Input: one byte for the number of entries (0 to 5), one byte each to choose
// the input and output names, then the texts of the other entries (the
// program's name and the two sizes), separated by zero bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const Prepared& p = Files();
  const int count = data[0] % 6;
  const std::string input = InputName(data[1]);
  const std::string output = OutputName(data[2], input);
  std::vector<std::string> texts;
  std::string text;
  for (size_t i = 3; i < size; ++i) {
    if (data[i] == 0) {
      texts.push_back(text);
      text.clear();
    } else {
      text += static_cast<char>(data[i]);
    }
  }
  texts.push_back(text);
  texts.resize(3);
  const std::string entries[] = {texts[0], input, output, texts[1], texts[2]};
  std::vector<const char*> argv;
  for (int i = 0; i < count; ++i) argv.push_back(entries[i].c_str());
  argv.push_back(nullptr);

  char* message_bytes = nullptr;
  size_t message_size = 0;
  FILE* messages = open_memstream(&message_bytes, &message_size);
  FUZZ_CHECK(messages != nullptr);
  const int status = wadrix::RunWadrix(count, argv.data(), messages);
  std::fclose(messages);
  const std::string printed(message_bytes, message_size);
  std::free(message_bytes);

  FUZZ_CHECK(printed.rfind(wadrix_test::kBanner, 0) == 0);
  FUZZ_CHECK(PrintedAsDocumented(status, printed));
  FUZZ_CHECK(ReadAll(p.input) == p.input_bytes);
  FUZZ_CHECK(ReadAll(p.empty).empty());
  struct stat info;
  // No dump holds more lines than the largest input has words.
  FUZZ_CHECK(stat(p.output.c_str(), &info) != 0 || info.st_size <= 9 * 20);
  FUZZ_CHECK(lstat(p.missing.c_str(), &info) != 0);
  FUZZ_CHECK(lstat(p.input_link.c_str(), &info) == 0 && S_ISLNK(info.st_mode));
  return 0;
}
