#include "cli/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

#include "convert/ik_dump.h"

namespace wadrix {
namespace {

constexpr char kBanner[] = "Produce an IK dump of a binary file.\n\n";
constexpr char kUsage[] =
    "Usage  : Wadrix <input_file> <output_file> [FlashSize ImageSize]\n"
    "Example: Wadrix data.bin data.ik 4194304 131072                 \n"
    "\n"
    "FlashSize - size of the SPI BFM flash on the emulator           \n"
    "ImageSize - size of the top part of the binary to be converted  \n"
    "Sizes are in bytes                                              \n";

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Opens an existing file for reading as raw bytes. A directory opens fine on
// this system but is no input. O_NONBLOCK keeps the open of a FIFO that has
// no writer from hanging; such an input then fails to be positioned.
File OpenInput(const char* path) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return File(file);
}

// True when `path` names the file that `input` reads, by any spelling or link:
// creating the output would then empty the input before it is read.
bool IsInputFile(FILE* input, const char* path) {
  struct stat in_info;
  struct stat out_info;
  return fstat(fileno(input), &in_info) == 0 && stat(path, &out_info) == 0 &&
         in_info.st_dev == out_info.st_dev && in_info.st_ino == out_info.st_ino;
}

void PrintReport(const Placement& p, FILE* messages) {
  std::fprintf(messages, "FlashSize  = %ld\n", static_cast<long>(p.flash_size));
  std::fprintf(messages, "ImageSize  = %ld\n", static_cast<long>(p.image_size));
  std::fprintf(messages, "FileSize   = %ld\n", static_cast<long>(p.file_size));
  std::fprintf(messages, "Offset     = %ld\n", static_cast<long>(p.offset));
  std::fprintf(messages, "FileOffset = %ld\n", static_cast<long>(p.file_offset));
}

}  // namespace

int ConvertOpenFiles(FILE* input, FILE* output, const Placement& placement, FILE* messages) {
  File in(input);
  File out(output);
  PrintReport(placement, messages);
  // A negative position is refused here too: a device such as /dev/zero
  // accepts any position and would then be read from before its start.
  if (placement.file_offset < 0 || fseeko(in.get(), placement.file_offset, SEEK_SET) != 0) {
    std::fprintf(messages, "Can't seek in the input file, offset = 0x%lX \n",
                 static_cast<unsigned long>(static_cast<uint32_t>(placement.file_offset)));
    return kExitSeekOffset;
  }
  std::fputs("Converting...\n", messages);
  // Only the bytes measured at the start are converted.
  const int64_t left = int64_t{placement.file_size} - placement.file_offset;
  const DumpResult result = WriteIkDump(in.get(), out.get(), placement.offset,
                                        left > 0 ? static_cast<uint64_t>(left) : 0);
  in.reset();
  const bool closed = std::fclose(out.release()) == 0;
  if (result == DumpResult::kReadFailed) {
    std::fputs("Error reading input file \n", messages);
    return kExitRead;
  }
  if (result == DumpResult::kWriteFailed || !closed) {
    std::fputs("Error writing output file \n", messages);
    return kExitWrite;
  }
  std::fputs("Done.\n", messages);
  return kExitDone;
}

int RunWadrix(int argc, const char* const argv[], FILE* messages) {
  std::fputs(kBanner, messages);
  if (argc != 3 && argc != 5) {
    std::fputs(kUsage, messages);
    return kExitUsage;
  }
  File input = OpenInput(argv[1]);
  if (!input) {
    std::fputs("Error opening input file \n", messages);
    return kExitOpenInput;
  }
  if (IsInputFile(input.get(), argv[2])) {
    std::fputs("Error - input and output are the same file \n", messages);
    return kExitCreateOutput;
  }
  File output(std::fopen(argv[2], "wb"));
  if (!output) {
    std::fputs("Error creating output file \n", messages);
    return kExitCreateOutput;
  }
  // The dump leaves in whole blocks of lines; a stream buffer would only copy them.
  std::setvbuf(output.get(), nullptr, _IONBF, 0);

  // Sizes are 32-bit: from 4 GiB - 1 on the input cannot even be positioned at
  // its end, and from 2 GiB on its position does not fit a size.
  constexpr off_t kUnseekableSize = 0xFFFFFFFF;
  const bool at_end = fseeko(input.get(), 0, SEEK_END) == 0;
  const off_t measured = at_end ? ftello(input.get()) : -1;
  if (!at_end || measured >= kUnseekableSize) {
    std::fputs("Error - can't seek to the end of file \n", messages);
    return kExitSeekEnd;
  }
  if (measured < 0 || measured > INT32_MAX) {
    std::fputs("Error - can't ftell() \n", messages);
    return kExitSize;
  }
  const int32_t file_size = static_cast<int32_t>(measured);

  int32_t flash_size = file_size;
  int32_t image_size = file_size;
  if (argc == 5) {
    const std::optional<int32_t> flash = ParseSizeArgument(argv[3]);
    if (!flash) {
      std::fputs("Bad FlashSize argument\n", messages);
      return kExitSize;
    }
    const std::optional<int32_t> image = ParseSizeArgument(argv[4]);
    if (!image) {
      std::fputs("Bad ImageSize argument\n", messages);
      return kExitSize;
    }
    flash_size = *flash;
    image_size = *image;
  }
  return ConvertOpenFiles(input.release(), output.release(),
                          ComputePlacement(flash_size, image_size, file_size), messages);
}

}  // namespace wadrix
