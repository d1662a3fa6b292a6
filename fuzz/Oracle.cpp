#include "fuzz/Oracle.h"

#include "tests/host/DecoderModel.h"

std::optional<std::vector<std::uint8_t>> OracleDecode(const std::uint8_t* Data, std::size_t Size) {
    return Model::ReferenceDecode(Data, Size);
}
