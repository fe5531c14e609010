// Every line the program prints for a failure, byte for byte, as scripts and
// the manual page see them.
#ifndef WADRIX_TESTS_MESSAGES_H_
#define WADRIX_TESTS_MESSAGES_H_

namespace wadrix_test {

inline constexpr char kBanner[] = "Produce an IK dump of a binary file.\n\n";
inline constexpr char kUsage[] =
    "Usage  : Wadrix <input_file> <output_file> [FlashSize ImageSize]\n"
    "Example: Wadrix data.bin data.ik 4194304 131072                 \n"
    "\n"
    "FlashSize - size of the SPI BFM flash on the emulator           \n"
    "ImageSize - size of the top part of the binary to be converted  \n"
    "Sizes are in bytes                                              \n";
inline constexpr char kDone[] = "Done.\n";
inline constexpr char kOpenInput[] = "Error opening input file \n";
inline constexpr char kCreateOutput[] = "Error creating output file \n";
inline constexpr char kSameFile[] = "Error - input and output are the same file \n";
inline constexpr char kSeekEnd[] = "Error - can't seek to the end of file \n";
inline constexpr char kTell[] = "Error - can't ftell() \n";
inline constexpr char kBadFlashSize[] = "Bad FlashSize argument\n";
inline constexpr char kBadImageSize[] = "Bad ImageSize argument\n";
inline constexpr char kSeekOffsetStart[] = "Can't seek in the input file, offset = 0x";
inline constexpr char kWriteError[] = "Error writing output file \n";
inline constexpr char kReadError[] = "Error reading input file \n";

/// Each exit status with the messages that end a run with it (for status 6,
/// the start of its line, which goes on with the value).
struct StatusMessages {
  int status;
  const char* messages[3];
};
inline constexpr StatusMessages kStatusMessages[] = {
    {0, {kDone}},
    {1, {kUsage}},
    {2, {kOpenInput}},
    {3, {kCreateOutput, kSameFile}},
    {4, {kSeekEnd}},
    {5, {kTell, kBadFlashSize, kBadImageSize}},
    {6, {kSeekOffsetStart}},
    {7, {kWriteError}},
    {8, {kReadError}},
};

}  // namespace wadrix_test

#endif  // WADRIX_TESTS_MESSAGES_H_
