// libFuzzer target: every input packs, and the payload decodes back to it through the
// product's decoder. Any exception or sanitizer report is a finding.
#include <cstddef>
#include <cstdint>

#include "tools/packer/Packer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    VerifyPayload(PackPayload(Data, Size), Data, Size);
    return 0;
}
