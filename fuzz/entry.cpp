// The libFuzzer entry point of one target, chosen when the binary is built.
#include "fuzz/harness.h"
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::CORVANE_FUZZ_TARGET(data, size);
}
