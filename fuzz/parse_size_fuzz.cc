// ParseSizeArgument on arbitrary bytes, checked against properties of decimal
// reading rather than against a second copy of the parser.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "convert/placement.h"
#include "fuzz/fuzz_check.h"

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parses a copy that ends exactly where the text ends, so that the
// sanitizers catch any read beyond it.
std::optional<int32_t> Parse(const std::string& text) {
  const std::unique_ptr<char[]> copy(new char[text.size()]);
  text.copy(copy.get(), text.size());
  return wadrix::ParseSizeArgument(std::string_view(copy.get(), text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<int32_t> value = Parse(text);

  // White space from the allowed set in front changes nothing.
  for (const char* blank : {" ", "\t", "\n", "\v", "\f", "\r", " \t\r\n"}) {
    FUZZ_CHECK(Parse(blank + text) == value);
  }

  // The number's own characters: white space, an optional sign, digits.
  size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  size_t digits_from = start;
  const bool negative = digits_from < text.size() && text[digits_from] == '-';
  if (digits_from < text.size() && (text[digits_from] == '+' || text[digits_from] == '-')) {
    ++digits_from;
  }
  size_t end = digits_from;
  while (end < text.size() && IsDigit(text[end])) ++end;
  const size_t digit_count = end - digits_from;

  // Refused exactly when no digit follows the white space and the sign.
  FUZZ_CHECK(value.has_value() == (digit_count > 0));
  if (!value) return 0;

  // Whatever follows the digits changes nothing.
  FUZZ_CHECK(Parse(text.substr(0, end)) == value);
  FUZZ_CHECK(Parse(text.substr(0, end) + "x9") == value);
  FUZZ_CHECK(Parse(text.substr(0, end) + " 123") == value);

  // Up to 18 digits fit a 64-bit plain decimal reading; up to nine digits it
  // is the value itself, and beyond it the value wraps modulo 2^32.
  if (digit_count <= 18) {
    int64_t plain = 0;
    for (size_t i = digits_from; i < end; ++i) plain = plain * 10 + (text[i] - '0');
    if (negative) plain = -plain;
    if (digit_count <= 9) FUZZ_CHECK(*value == plain);
    FUZZ_CHECK(static_cast<uint32_t>(*value) ==
               static_cast<uint32_t>(static_cast<uint64_t>(plain)));
  }
  return 0;
}
