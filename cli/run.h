// One run of the converter, from its command line to its exit status.
#ifndef WADRIX_CLI_RUN_H_
#define WADRIX_CLI_RUN_H_

#include <cstdio>

#include "convert/placement.h"

namespace wadrix {

/// Every status the program ends with. Scripts tell failures apart by these.
enum ExitStatus : int {
  kExitDone = 0,
  kExitUsage = 1,         // argument count other than 2 or 4
  kExitOpenInput = 2,     // input missing, unreadable or a directory
  kExitCreateOutput = 3,  // output cannot be created, or is the input itself
  kExitSeekEnd = 4,       // input cannot be positioned at its end (or is 4 GiB - 1 or more)
  kExitSize = 5,          // input size unreadable or too large, or a bad size argument
  kExitSeekOffset = 6,    // input cannot be positioned where the image starts
  kExitWrite = 7,         // the dump could not be written in full
  kExitRead = 8,          // the input failed while it was read
};

/// Runs the program on its argument vector (argv[0] is the program's name):
/// prints the banner, the report and every message to `messages`, writes the
/// dump and returns the exit status. Closes whatever it opened.
int RunWadrix(int argc, const char* const argv[], FILE* messages);

/// The run from the report on, for streams that are already open and
/// measured: prints the report, positions the input at placement.file_offset,
/// writes the dump and closes both streams, input first. Returns the status.
int ConvertOpenFiles(FILE* input, FILE* output, const Placement& placement, FILE* messages);

}  // namespace wadrix

#endif  // WADRIX_CLI_RUN_H_
