#include <csignal>
#include <cstdio>

#include "cli/run.h"

int main(int argc, char** argv) {
  // A dump cut short by a file size limit, or by a reader (a pipe, a FIFO)
  // that went away, must fail as a refused write and be reported, not kill
  // the process without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  return wadrix::RunWadrix(argc, argv, stdout);
}
