// The fuzzer's oracle: the plain model of the payload format, built apart from the fuzz target
// so that libFuzzer steers by the decoder's branches, not the model's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

std::optional<std::vector<std::uint8_t>> OracleDecode(const std::uint8_t* Data, std::size_t Size);
