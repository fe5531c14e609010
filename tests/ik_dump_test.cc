#include "convert/ik_dump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/test_files.h"

namespace {

using wadrix::DumpResult;
using wadrix::WriteIkDump;
using wadrix_test::FaultyStreamState;
using wadrix_test::OpenFaultyStream;
using wadrix_test::RandomBytes;

// The writer reads its input in blocks of this many bytes; the fast path has
// its edges there.
constexpr size_t kBlock = 64 * 1024;

// The dump as one formatted line per word, the plain way.
std::string OracleDump(const std::string& input, uint32_t first_address) {
  std::string dump;
  char line[32];
  for (size_t i = 0; i + 4 <= input.size(); i += 4) {
    const auto byte = [&](size_t k) {
      return static_cast<uint32_t>(static_cast<unsigned char>(input[i + k]));
    };
    const uint32_t word = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
    const int length =
        std::snprintf(line, sizeof line, "@%x %08x\r\n",
                      static_cast<unsigned>(first_address + static_cast<uint32_t>(i / 4)),
                      static_cast<unsigned>(word));
    dump.append(line, static_cast<size_t>(length));
  }
  return dump;
}

struct DumpRun {
  DumpResult result;
  std::string dump;
};

// Dumps `input` from memory into memory.
DumpRun Dump(const std::string& input, int32_t first_address, uint64_t max_bytes = UINT64_MAX) {
  FaultyStreamState in_state{input};
  FaultyStreamState out_state;
  FILE* in = OpenFaultyStream(in_state, "r");
  FILE* out = OpenFaultyStream(out_state, "w");
  const DumpResult result = WriteIkDump(in, out, first_address, max_bytes);
  std::fclose(in);
  std::fclose(out);
  return {result, out_state.data};
}

TEST(WriteIkDumpTest, WritesTheExactBytesOfTheFormat) {
  struct Case {
    const char* name;
    std::string input;
    int32_t first_address;
    std::string want;
  };
  const Case cases[] = {
      {"two words", "\x01\x02\x03\x04\x05\x06\x07\x08", 0, "@0 04030201\r\n@1 08070605\r\n"},
      {"partial last word dropped", "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a", 0,
       "@0 04030201\r\n@1 08070605\r\n"},
      {"three bytes", "abc", 0, ""},
      {"empty", "", 0, ""},
      {"zero-filled lower case", std::string("\0\0\0\0\x0a\0\0\0\xff\xff\xff\xff", 12), 0,
       "@0 00000000\r\n@1 0000000a\r\n@2 ffffffff\r\n"},
      {"address 1f", "\x78\x56\x34\x12", 0x1f, "@1f 12345678\r\n"},
      {"first address 12", std::string(16, '\0'), 12,
       "@c 00000000\r\n@d 00000000\r\n@e 00000000\r\n@f 00000000\r\n"},
      {"wraps after ffffffff", std::string(16, '\x11'), -2,
       "@fffffffe 11111111\r\n@ffffffff 11111111\r\n@0 11111111\r\n@1 11111111\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DumpRun run = Dump(c.input, c.first_address);
    EXPECT_EQ(run.result, DumpResult::kFinished);
    EXPECT_EQ(run.dump, c.want);
  }
}

// Sizes around the block edges, and first addresses that put a change in the
// number of address digits, or the wrap to 0, in a block's head, middle or at
// its edge.
TEST(WriteIkDumpTest, MatchesTheOracleAroundBlockEdgesAndAddressDigitChanges) {
  const uint32_t words_per_block = kBlock / 4;
  const uint32_t addresses[] = {
      0,
      1,
      0xf - 2,
      0x10 - 16,
      0xfff - 5,
      0x1000 - words_per_block,
      0xfffffff - 20,
      0x10000000 - words_per_block,
      0x7fffffff - 10,
      0xffffffff - 40,
      0xffffffff,
      0u - words_per_block,
      0u - words_per_block - 3,
  };
  std::vector<size_t> sizes = {1, 4, 63, 64, 65, 127, 128, 4096};
  for (const size_t edge : {kBlock, 2 * kBlock}) {
    for (size_t delta = 1; delta <= 7; ++delta) {
      sizes.push_back(edge - delta);
      sizes.push_back(edge + delta);
    }
    sizes.push_back(edge);
  }
  const std::string input = RandomBytes(2 * kBlock + 7, 11);
  for (const size_t size : sizes) {
    const std::string part = input.substr(0, size);
    for (const uint32_t address : addresses) {
      SCOPED_TRACE("size " + std::to_string(size) + ", first address " + std::to_string(address));
      const DumpRun run = Dump(part, static_cast<int32_t>(address));
      ASSERT_EQ(run.result, DumpResult::kFinished);
      ASSERT_EQ(run.dump, OracleDump(part, address));
    }
  }
}

TEST(WriteIkDumpTest, ConvertsAtMostTheGivenNumberOfBytes) {
  const std::string input = RandomBytes(3 * kBlock, 5);
  struct Case {
    uint64_t max_bytes;
    size_t converted;
  };
  const Case cases[] = {
      {0, 0}, {3, 0}, {10, 8}, {kBlock + 5, kBlock + 4}, {3 * kBlock, 3 * kBlock}};
  for (const Case& c : cases) {
    SCOPED_TRACE("max_bytes " + std::to_string(c.max_bytes));
    const DumpRun run = Dump(input, 7, c.max_bytes);
    EXPECT_EQ(run.result, DumpResult::kFinished);
    EXPECT_EQ(run.dump, OracleDump(input.substr(0, c.converted), 7));
  }
}

TEST(WriteIkDumpTest, StopsAtTheLimitOnADeviceWithoutEnd) {
  FILE* zero = std::fopen("/dev/zero", "rb");
  ASSERT_NE(zero, nullptr);
  FaultyStreamState out_state;
  FILE* out = OpenFaultyStream(out_state, "w");
  EXPECT_EQ(WriteIkDump(zero, out, 0, 4 * kBlock + 2), DumpResult::kFinished);
  std::fclose(zero);
  std::fclose(out);
  EXPECT_EQ(out_state.data, OracleDump(std::string(4 * kBlock, '\0'), 0));
}

TEST(WriteIkDumpTest, StopsAtTheFirstFailedWrite) {
  const std::string input = RandomBytes(8 * kBlock, 3);
  const std::string whole = OracleDump(input, 0);
  for (const size_t fail_after : {size_t{0}, size_t{100}, whole.size() / 3}) {
    SCOPED_TRACE("fail_after " + std::to_string(fail_after));
    FaultyStreamState in_state{input};
    FaultyStreamState out_state;
    out_state.fail_after = fail_after;
    FILE* in = OpenFaultyStream(in_state, "r");
    FILE* out = OpenFaultyStream(out_state, "w");
    std::setvbuf(out, nullptr, _IONBF, 0);
    EXPECT_EQ(WriteIkDump(in, out, 0, UINT64_MAX), DumpResult::kWriteFailed);
    const size_t read_at_failure = in_state.position;
    std::fclose(in);
    std::fclose(out);
    // What reached the output is the dump's beginning, and the writer did not
    // read on once a write was refused.
    EXPECT_EQ(out_state.data, whole.substr(0, fail_after));
    EXPECT_LT(read_at_failure, input.size() / 2);
  }
}

TEST(WriteIkDumpTest, ReportsAReadErrorAfterWritingTheWordsBeforeIt) {
  const std::string input = RandomBytes(3 * kBlock, 9);
  for (const size_t fail_after : {size_t{0}, size_t{1002}, kBlock + 4}) {
    SCOPED_TRACE("fail_after " + std::to_string(fail_after));
    FaultyStreamState in_state{input};
    in_state.fail_after = fail_after;
    FaultyStreamState out_state;
    FILE* in = OpenFaultyStream(in_state, "r");
    FILE* out = OpenFaultyStream(out_state, "w");
    EXPECT_EQ(WriteIkDump(in, out, 0x100, UINT64_MAX), DumpResult::kReadFailed);
    std::fclose(in);
    std::fclose(out);
    EXPECT_EQ(out_state.data, OracleDump(input.substr(0, fail_after), 0x100));
  }
}

}  // namespace
