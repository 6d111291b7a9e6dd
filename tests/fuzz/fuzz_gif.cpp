#include "FuzzChecks.h"
#include "FuzzTarget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartOffscreenApplication("fuzz_gif");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return RequireHolds(CheckGif(InputOf(data, size)));
}
