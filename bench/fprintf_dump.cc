// The yardstick: the straightforward dump writer, four bytes read and one
// formatted line written at a time through 4096-byte stdio buffers.
// Usage: fprintf_dump <input_file> <output_file>
#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: fprintf_dump <input_file> <output_file>\n", stderr);
    return 1;
  }
  FILE* in = std::fopen(argv[1], "rb");
  FILE* out = std::fopen(argv[2], "w");
  if (in == nullptr || out == nullptr) {
    std::fputs("fprintf_dump: cannot open the files\n", stderr);
    return 2;
  }
  std::setvbuf(in, nullptr, _IOFBF, 4096);
  std::setvbuf(out, nullptr, _IOFBF, 4096);
  unsigned char bytes[4];
  uint32_t address = 0;
  while (std::fread(bytes, 1, 4, in) == 4) {
    const uint32_t word = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                          uint32_t{bytes[3]} << 24;
    std::fprintf(out, "@%x %08x\r\n", static_cast<unsigned>(address++),
                 static_cast<unsigned>(word));
  }
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 3;
}
