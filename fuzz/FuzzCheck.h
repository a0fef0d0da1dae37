#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant of a decoder: reported like any sanitizer finding, so that libFuzzer
// keeps the input as a crash file.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
