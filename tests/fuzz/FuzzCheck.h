// What the fuzz targets check beyond the sanitizers.
#pragma once
#include <cstdlib>

// A property that every input must keep. Its failure ends the run like a
// crash: libFuzzer keeps the input and reports the stack of the check.
inline void Require(bool holds) {
    if (!holds) std::abort();
}
