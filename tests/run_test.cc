// The run from the report on, driven in-process with streams that fail on
// demand: the close, write and read errors a real disk shows only rarely.
#include "cli/run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/test_files.h"

namespace {

using wadrix::ConvertOpenFiles;
using wadrix::Placement;
using wadrix_test::FaultyStreamState;
using wadrix_test::OpenFaultyStream;
using wadrix_test::RandomBytes;

constexpr char kReport8[] =
    "FlashSize  = 8\n"
    "ImageSize  = 8\n"
    "FileSize   = 8\n"
    "Offset     = 0\n"
    "FileOffset = 0\n";
constexpr Placement kWholeOf8 = {8, 8, 8, 0, 0};

struct ConvertRun {
  int status;
  std::string messages;
};

ConvertRun Convert(FaultyStreamState& in_state, FaultyStreamState& out_state,
                   const Placement& placement) {
  FaultyStreamState messages;
  FILE* message_stream = OpenFaultyStream(messages, "w");
  const int status = ConvertOpenFiles(OpenFaultyStream(in_state, "r"),
                                      OpenFaultyStream(out_state, "w"), placement, message_stream);
  std::fclose(message_stream);
  return {status, messages.data};
}

TEST(ConvertOpenFilesTest, ReportsEachFailureOfTheDumpWithItsOwnStatus) {
  struct Case {
    const char* name;
    size_t read_fail_after;
    size_t write_fail_after;
    bool close_fails;
    int status;
    const char* last_message;
  };
  const Case cases[] = {
      {"finished", SIZE_MAX, SIZE_MAX, false, 0, "Done.\n"},
      {"write refused", SIZE_MAX, 13, false, 7, "Error writing output file \n"},
      {"close fails", SIZE_MAX, SIZE_MAX, true, 7, "Error writing output file \n"},
      {"read fails after one word", 4, SIZE_MAX, false, 8, "Error reading input file \n"},
      {"read fails at once", 0, SIZE_MAX, false, 8, "Error reading input file \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FaultyStreamState in{"\x01\x02\x03\x04\x05\x06\x07\x08"};
    in.fail_after = c.read_fail_after;
    FaultyStreamState out;
    out.fail_after = c.write_fail_after;
    out.fail_close = c.close_fails;
    const ConvertRun run = Convert(in, out, kWholeOf8);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.messages, std::string(kReport8) + "Converting...\n" + c.last_message);
    EXPECT_TRUE(in.closed);
    EXPECT_TRUE(out.closed);
  }
}

TEST(ConvertOpenFilesTest, KeepsTheWordsReadBeforeAReadError) {
  FaultyStreamState in{"\x01\x02\x03\x04\x05\x06\x07\x08"};
  in.fail_after = 4;
  FaultyStreamState out;
  EXPECT_EQ(Convert(in, out, kWholeOf8).status, wadrix::kExitRead);
  EXPECT_EQ(out.data, "@0 04030201\r\n");
}

TEST(ConvertOpenFilesTest, ConvertsNoMoreThanTheMeasuredBytes) {
  // The input has grown to 64 bytes since it was measured at 8.
  FaultyStreamState in{RandomBytes(64, 1)};
  FaultyStreamState out;
  const ConvertRun run = Convert(in, out, kWholeOf8);
  EXPECT_EQ(run.status, wadrix::kExitDone);
  EXPECT_EQ(out.data.size(), 2u * 13u);
}

TEST(ConvertOpenFilesTest, RefusesANegativeFileOffsetAndClosesBoth) {
  FaultyStreamState in{"12345678"};
  FaultyStreamState out;
  const ConvertRun run = Convert(in, out, {8, 12, 8, -1, -4});
  EXPECT_EQ(run.status, wadrix::kExitSeekOffset);
  EXPECT_EQ(run.messages,
            "FlashSize  = 8\nImageSize  = 12\nFileSize   = 8\nOffset     = -1\n"
            "FileOffset = -4\nCan't seek in the input file, offset = 0xFFFFFFFC \n");
  EXPECT_TRUE(in.closed);
  EXPECT_TRUE(out.closed);
  EXPECT_EQ(out.data, "");
}

}  // namespace
