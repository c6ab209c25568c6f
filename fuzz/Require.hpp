#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property is a finding like a crash: libFuzzer keeps the input that broke it.
#define KRV_REQUIRE(condition)                                                                    \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)
