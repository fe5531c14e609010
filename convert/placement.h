// Where the converted part of the input lands in the flash.
#ifndef WADRIX_CONVERT_PLACEMENT_H_
#define WADRIX_CONVERT_PLACEMENT_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace wadrix {

/// The five values of one run, as the report prints them. Byte counts and the
/// word address are 32-bit two's complement values; nothing here compares one
/// with another, so negative and out-of-range values are carried through.
struct Placement {
  int32_t flash_size;   // bytes in the emulator's flash
  int32_t image_size;   // bytes at the top of the input that are converted
  int32_t file_size;    // bytes in the input, as measured
  int32_t offset;       // word address of the first dump line
  int32_t file_offset;  // input position where conversion starts
};

/// Reads a size argument as the command line gives it: optional leading white
/// space (tab, LF, VT, FF, CR, space), at most one sign, then decimal digits up
/// to the first non-digit, which ends the number and is ignored with all that
/// follows. The value wraps modulo 2^32 (4294967296 reads as 0, 2147483648 as
/// INT32_MIN). Returns nullopt when no digit was read.
std::optional<int32_t> ParseSizeArgument(std::string_view text);

/// Places the top image_size bytes of the input so that they end at the top of
/// a flash of flash_size bytes: offset = (flash_size - image_size) / 4,
/// truncated toward zero, and file_offset = file_size - image_size, both in
/// wrapping 32-bit arithmetic.
Placement ComputePlacement(int32_t flash_size, int32_t image_size, int32_t file_size);

}  // namespace wadrix

#endif  // WADRIX_CONVERT_PLACEMENT_H_
