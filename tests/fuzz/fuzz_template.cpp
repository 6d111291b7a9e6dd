#include "FuzzChecks.h"
#include "FuzzTarget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartOffscreenApplication("fuzz_template");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return RequireHolds(CheckTemplate(InputOf(data, size)));
}
