// libFuzzer entry for the INI reader; built by the fuzz preset (clang), not by the
// normal build.
#include "tests/ini/fuzz/ini_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillon::FuzzIniDocument(data, size);
    return 0;
}
