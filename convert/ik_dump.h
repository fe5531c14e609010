// The IK dump: one text line per 32-bit word of the input, each with its word
// address, in the form the emulator's flash model loads.
#ifndef WADRIX_CONVERT_IK_DUMP_H_
#define WADRIX_CONVERT_IK_DUMP_H_

#include <cstdint>
#include <cstdio>

namespace wadrix {

/// How a dump ended.
enum class DumpResult {
  kFinished,     // every whole word up to the end of the input (or the limit) was written
  kReadFailed,   // the input reported an error; the words read before it were written
  kWriteFailed,  // the output refused a block; the dump stopped there
};

/// Streams the input, from its current position, into dump lines
/// "@<address> <word>\r\n": the address in lower-case hex without leading
/// zeros, counting words from first_address and wrapping after ffffffff; the
/// word as eight lower-case hex digits, its first input byte least
/// significant. Reads at most max_bytes bytes, so an input that grows, or a
/// device that never ends, cannot make the dump run on; a last one to three
/// bytes that do not make a word are dropped. Both streams stay open.
DumpResult WriteIkDump(FILE* input, FILE* output, int32_t first_address, uint64_t max_bytes);

}  // namespace wadrix

#endif  // WADRIX_CONVERT_IK_DUMP_H_
