// The fuzzers' property check: a broken property aborts with a message, so libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "property broken at %s:%d: %s\n", __FILE__, __LINE__, #cond);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
