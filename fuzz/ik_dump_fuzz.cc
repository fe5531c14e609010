// WriteIkDump on arbitrary bytes from an arbitrary first word address: the
// dump is read back line by line with sscanf and must give consecutive
// addresses, wrapping in 32 bits, and the input's words.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "convert/ik_dump.h"
#include "fuzz/fuzz_check.h"

namespace {

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// "@" address (1 to 8 lower-case hex digits, no leading zero) " " word (8
// lower-case hex digits) "\r\n".
bool HasLineShape(const std::string& line) {
  if (line.size() < 13 || line[0] != '@' || line.compare(line.size() - 2, 2, "\r\n") != 0) {
    return false;
  }
  const size_t space = line.find(' ');
  if (space == std::string::npos || space < 2 || space > 9) return false;
  if (line[1] == '0' && space != 2) return false;
  for (size_t i = 1; i < space; ++i) {
    if (!IsLowerHex(line[i])) return false;
  }
  if (line.size() != space + 1 + 8 + 2) return false;
  for (size_t i = space + 1; i < space + 9; ++i) {
    if (!IsLowerHex(line[i])) return false;
  }
  return true;
}

}  // namespace

// Input: 4 bytes of first word address, 1 byte choosing a byte limit, then the
// bytes to dump.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  uint32_t first_address = 0;
  std::memcpy(&first_address, data, 4);
  const uint8_t limit_choice = data[4];
  const uint8_t* bytes = data + 5;
  const size_t count = size - 5;
  // Odd choices cut the dump short by a few bytes, even ones give no limit.
  const size_t cut = limit_choice % 2 == 1 ? std::min<size_t>(count, limit_choice / 2 % 9) : 0;
  const uint64_t max_bytes = limit_choice % 2 == 1 ? count - cut : UINT64_MAX;
  const size_t converted = count - cut;

  FILE* in = fmemopen(const_cast<uint8_t*>(bytes), count, "rb");
  char* dump_bytes = nullptr;
  size_t dump_size = 0;
  FILE* out = open_memstream(&dump_bytes, &dump_size);
  FUZZ_CHECK(in != nullptr && out != nullptr);
  FUZZ_CHECK(wadrix::WriteIkDump(in, out, static_cast<int32_t>(first_address), max_bytes) ==
             wadrix::DumpResult::kFinished);
  std::fclose(in);
  std::fclose(out);
  const std::string dump(dump_bytes, dump_size);
  std::free(dump_bytes);

  size_t lines = 0;
  size_t at = 0;
  while (at < dump.size()) {
    const size_t line_end = dump.find("\r\n", at);
    FUZZ_CHECK(line_end != std::string::npos);
    const std::string line = dump.substr(at, line_end + 2 - at);
    FUZZ_CHECK(HasLineShape(line));
    unsigned address = 0;
    unsigned word = 0;
    FUZZ_CHECK(std::sscanf(line.c_str(), "@%x %x", &address, &word) == 2);
    FUZZ_CHECK(address == static_cast<uint32_t>(first_address + lines));
    FUZZ_CHECK(lines < converted / 4);
    const uint8_t* w = bytes + 4 * lines;
    FUZZ_CHECK(word == (uint32_t{w[0]} | uint32_t{w[1]} << 8 | uint32_t{w[2]} << 16 |
                        uint32_t{w[3]} << 24));
    ++lines;
    at = line_end + 2;
  }
  FUZZ_CHECK(lines == converted / 4);
  return 0;
}
