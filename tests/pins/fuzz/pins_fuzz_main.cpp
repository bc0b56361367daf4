// libFuzzer entry for the bin-file marker search and the pin-set parser; built by the fuzz
// preset (clang), not by the normal build.
#include "tests/pins/fuzz/pins_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::FuzzPinInputs(data, size);
    return 0;
}
