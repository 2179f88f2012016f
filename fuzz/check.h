#pragma once

#include <cstdio>
#include <cstdlib>

// A fuzz target's own assertion: a finding when it fails, in any build.
#define CHECK(condition)                                                          \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__); \
      std::abort();                                                               \
    }                                                                             \
  } while (false)
