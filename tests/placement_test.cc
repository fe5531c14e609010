#include "convert/placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

using wadrix::ComputePlacement;
using wadrix::ParseSizeArgument;

struct SizeCase {
  std::string text;
  std::optional<int32_t> want;
};

const SizeCase kSizeCases[] = {
    // Plain numbers, signs, and what follows the digits.
    {"131072", 131072},
    {"+7", 7},
    {"-8", -8},
    {"-0", 0},
    {"12abc", 12},
    {"4M", 4},
    {"010", 10},
    {"0x10", 0},
    {"1 2", 1},
    {"7-", 7},
    {std::string("5\0"
                 "7",
                 3),
     5},
    // Leading white space is the C locale's six characters only.
    {" \t\n\v\f\r5", 5},
    {"   -12", -12},
    {"\xa0"
     "5",
     std::nullopt},  // split literal: "\xa05" would be one escape
    {"\x85"
     "5",
     std::nullopt},
    {"\x1c"
     "5",
     std::nullopt},
    // Wrapping modulo 2^32, with no limit on the digits.
    {"2147483647", INT32_MAX},
    {"2147483648", INT32_MIN},
    {"-2147483648", INT32_MIN},
    {"-2147483649", INT32_MAX},
    {"4294967295", -1},
    {"4294967296", 0},
    {"4294967297", 1},
    {"12345678901234567890", -350287150},
    {"000000000000000000000000000042", 42},
    // Refused: no digit where one must stand.
    {"abc", std::nullopt},
    {"- 5", std::nullopt},
    {"--5", std::nullopt},
    {"+-5", std::nullopt},
    {"-", std::nullopt},
    {"+", std::nullopt},
    {"", std::nullopt},
    {"    ", std::nullopt},
    {"x5", std::nullopt},
    {std::string("\0"
                 "5",
                 2),
     std::nullopt},
};

TEST(ParseSizeArgument, AcceptsAndRefuses) {
  for (const SizeCase& c : kSizeCases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(ParseSizeArgument(c.text), c.want);
  }
}

struct PlacementCase {
  int32_t flash_size, image_size, file_size;
  int32_t offset, file_offset;
};

const PlacementCase kPlacementCases[] = {
    {4194304, 131072, 131072, 1015808, 0},  // the usage text's example
    {64, 16, 40, 12, 24},
    {64, 64, 64, 0, 0},
    {18, 8, 8, 2, 0},  // 10 / 4 truncates
    {2, 8, 8, -1, 0},  // -6 / 4 truncates toward zero, not down
    {4, 8, 8, -1, 0},  // -4 / 4
    {0, 8, 8, -2, 0},
    {64, 12, 8, 13, -4},  // image larger than the file: a position before the start
    {64, 0, 40, 16, 40},
    {16, -4, 8, 5, 12},  // negative image: a position past the end
    {16, 6, 10, 2, 4},
    {0, 0, 0, 0, 0},
    // Differences wrap in 32 bits.
    {INT32_MAX, -1, 0, -536870912, 1},
    {INT32_MIN, 1, 0, 536870911, -1},
    {0, INT32_MIN, 8, -536870912, INT32_MIN + 8},
    {0, -2147483647, 8, 536870911, -2147483641},
};

TEST(ComputePlacement, OffsetsAndWrapping) {
  for (const PlacementCase& c : kPlacementCases) {
    SCOPED_TRACE(testing::Message() << c.flash_size << " " << c.image_size << " " << c.file_size);
    const wadrix::Placement p = ComputePlacement(c.flash_size, c.image_size, c.file_size);
    EXPECT_EQ(p.flash_size, c.flash_size);
    EXPECT_EQ(p.image_size, c.image_size);
    EXPECT_EQ(p.file_size, c.file_size);
    EXPECT_EQ(p.offset, c.offset);
    EXPECT_EQ(p.file_offset, c.file_offset);
  }
}

}  // namespace
