// PackPayload, the encoder that makes payloads for DecodePackedStream, and VerifyPayload, which
// decodes one back through the product's decoder and compares it with its source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

// A failure of the packer itself (input too large, a payload that does not decode back).
class EPackError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Returns the 16-byte header followed by the body. The body is the smallest encoding the parser
// finds among those that keep the shipped payloads' conventions: unused flag bits 0, a closing
// flag byte (0) after a last token that completes a group, the cheapest token kind for every
// match, no far match shorter than 4 and no more than eight single literals in a row.
// Raises EPackError for an input of 2^31 bytes or more.
std::vector<std::uint8_t> PackPayload(const std::uint8_t* Data, std::size_t Size);

// Decodes Payload with DecodePackedStream and compares the result with Data byte for byte.
// Raises EPackError naming the first difference; the decoder's own exceptions pass through.
void VerifyPayload(const std::vector<std::uint8_t>& Payload, const std::uint8_t* Data,
                   std::size_t Size);
