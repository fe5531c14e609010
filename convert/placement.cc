#include "convert/placement.h"

namespace wadrix {
namespace {

bool IsSizeSpace(char c) {
  // The C locale's white space, and nothing else: bytes above 7F never count.
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Differences wrap in 32 bits, as the flows that produce these sizes expect.
int32_t WrappingSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

std::optional<int32_t> ParseSizeArgument(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSizeSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size() || !IsDigit(text[i])) return std::nullopt;
  uint32_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

Placement ComputePlacement(int32_t flash_size, int32_t image_size, int32_t file_size) {
  Placement p{};
  p.flash_size = flash_size;
  p.image_size = image_size;
  p.file_size = file_size;
  p.offset = WrappingSub(flash_size, image_size) / 4;  // C++ division truncates toward zero
  p.file_offset = WrappingSub(file_size, image_size);
  return p;
}

}  // namespace wadrix
