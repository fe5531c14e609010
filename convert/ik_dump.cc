#include "convert/ik_dump.h"

#include <algorithm>
#include <cstring>
#include <memory>

#if WADRIX_USE_SIMD && defined(__SSE2__)
#include <emmintrin.h>
#define WADRIX_SSE2 1
#endif

namespace wadrix {
namespace {

// Input is read this many bytes at a time (a multiple of 64, so that whole
// groups of 16 words fill a block) and each block's lines leave in one write.
constexpr size_t kInputBlock = 64 * 1024;
constexpr size_t kMaxLineLength = 20;  // "@ffffffff 12345678\r\n"
// Lines are assembled with 16-byte stores that may reach past the last line.
constexpr size_t kStoreSlack = 32;
constexpr size_t kOutputBlock = kInputBlock / 4 * kMaxLineLength + kStoreSlack;

constexpr char kHexDigits[] = "0123456789abcdef";

uint32_t LoadWord(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Writes value in lower-case hex without leading zeros; returns the end.
char* FormatHex(char* out, uint32_t value) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kHexDigits[value & 15];
    value >>= 4;
  } while (value != 0);
  while (n > 0) *out++ = digits[--n];
  return out;
}

// One line, the plain way: for the lines before the address reaches a multiple
// of 16 and for the last few of a block.
char* FormatLine(char* out, uint32_t address, const unsigned char* bytes) {
  *out++ = '@';
  out = FormatHex(out, address);
  *out++ = ' ';
  const uint32_t word = LoadWord(bytes);
  for (int shift = 28; shift >= 0; shift -= 4) *out++ = kHexDigits[(word >> shift) & 15];
  *out++ = '\r';
  *out++ = '\n';
  return out;
}

// The 16 lines of the addresses address..address+15 (address a multiple of
// 16) share every address digit but the last, so the "@<address> " prefix is
// built once and only its last digit changes from line to line.
char* FormatGroup(char* out, uint32_t address, const unsigned char* bytes) {
  char prefix[16] = {'@'};
  char* end = prefix + 1;
  if (address >> 4 != 0) end = FormatHex(end, address >> 4);
  const size_t digit_at = static_cast<size_t>(end - prefix);
  *end++ = '0';
  *end++ = ' ';
  const size_t prefix_length = static_cast<size_t>(end - prefix);

#if WADRIX_SSE2
  const __m128i prefix_vector = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix));
  const __m128i low_nibble = _mm_set1_epi8(0x0f);
  const __m128i nine = _mm_set1_epi8(9);
  const __m128i ascii_zero = _mm_set1_epi8('0');
  const __m128i letter_gap = _mm_set1_epi8('a' - '0' - 10);
  const __m128i crlf = _mm_set1_epi16(0x0a0d);  // "\r\n\r\n..." in memory
  for (int quad = 0; quad < 4; ++quad) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * quad));
    // Most significant byte first within each word: swap the 16-bit halves,
    // then the bytes within each half.
    x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xB1), 0xB1);
    x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    const __m128i high = _mm_and_si128(_mm_srli_epi16(x, 4), low_nibble);
    const __m128i low = _mm_and_si128(x, low_nibble);
    __m128i nibbles[2] = {_mm_unpacklo_epi8(high, low), _mm_unpackhi_epi8(high, low)};
    for (int pair = 0; pair < 2; ++pair) {
      const __m128i n = nibbles[pair];
      const __m128i text = _mm_add_epi8(_mm_add_epi8(n, ascii_zero),
                                        _mm_and_si128(_mm_cmpgt_epi8(n, nine), letter_gap));
      const __m128i words[2] = {_mm_unpacklo_epi64(text, crlf), _mm_unpackhi_epi64(text, crlf)};
      for (int half = 0; half < 2; ++half) {
        const int line = quad * 4 + pair * 2 + half;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), prefix_vector);
        out[digit_at] = kHexDigits[line];
        out += prefix_length;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words[half]);
        out += 10;
      }
    }
  }
#else
  static constexpr char kHexPairs[] =
      "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
      "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f"
      "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f"
      "606162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f"
      "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f"
      "a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3b4b5b6b7b8b9babbbcbdbebf"
      "c0c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdddedf"
      "e0e1e2e3e4e5e6e7e8e9eaebecedeeeff0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";
  for (int line = 0; line < 16; ++line) {
    std::memcpy(out, prefix, sizeof prefix);
    out[digit_at] = kHexDigits[line];
    out += prefix_length;
    const unsigned char* word = bytes + 4 * line;
    std::memcpy(out + 0, kHexPairs + 2 * word[3], 2);
    std::memcpy(out + 2, kHexPairs + 2 * word[2], 2);
    std::memcpy(out + 4, kHexPairs + 2 * word[1], 2);
    std::memcpy(out + 6, kHexPairs + 2 * word[0], 2);
    out[8] = '\r';
    out[9] = '\n';
    out += 10;
  }
#endif
  return out;
}

// Formats `words` words from `bytes` with addresses from `address` on.
char* FormatLines(char* out, uint32_t address, const unsigned char* bytes, size_t words) {
  while (words > 0 && address % 16 != 0) {
    out = FormatLine(out, address++, bytes);
    bytes += 4;
    --words;
  }
  // A group never wraps inside: ffffffff is the last address of its group.
  for (; words >= 16; words -= 16, address += 16, bytes += 64) {
    out = FormatGroup(out, address, bytes);
  }
  for (; words > 0; --words, bytes += 4) out = FormatLine(out, address++, bytes);
  return out;
}

}  // namespace

DumpResult WriteIkDump(FILE* input, FILE* output, int32_t first_address, uint64_t max_bytes) {
  const std::unique_ptr<unsigned char[]> in(new unsigned char[kInputBlock]);
  const std::unique_ptr<char[]> out(new char[kOutputBlock]);
  uint32_t address = static_cast<uint32_t>(first_address);
  uint64_t remaining = max_bytes;
  while (remaining >= 4) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kInputBlock, remaining));
    const size_t got = std::fread(in.get(), 1, want, input);
    const size_t words = got / 4;
    const char* end = FormatLines(out.get(), address, in.get(), words);
    address += static_cast<uint32_t>(words);
    const size_t length = static_cast<size_t>(end - out.get());
    // fwrite can report a whole block written although the stream failed to
    // pass it on, so the stream's error flag is asked as well.
    if (length > 0 &&
        (std::fwrite(out.get(), 1, length, output) != length || std::ferror(output))) {
      return DumpResult::kWriteFailed;
    }
    if (got < want) return std::ferror(input) ? DumpResult::kReadFailed : DumpResult::kFinished;
    remaining -= got;
  }
  return DumpResult::kFinished;
}

}  // namespace wadrix
