#pragma once
// The fuzz targets' invariant check: a broken invariant names itself on standard error and
// aborts, which the fuzzer reports as a finding and the corpus replay as a failed test.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                      \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, (what)); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)
