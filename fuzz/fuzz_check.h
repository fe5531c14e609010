// A property check for the fuzz targets: a broken one names itself and aborts,
// which libFuzzer and the replays both report as a finding.
#ifndef WADRIX_FUZZ_FUZZ_CHECK_H_
#define WADRIX_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

#endif  // WADRIX_FUZZ_FUZZ_CHECK_H_
