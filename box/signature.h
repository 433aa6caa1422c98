#pragma once

#include <cstdint>

#include "stream/byte_stream.h"

namespace bq {

constexpr std::uint32_t kSignatureContent = 0x0D0A870A;
// The signature box's length: the whole box, header included.
constexpr std::uint16_t kSignatureLength = 12;

// How the first bytes of a file were judged.
enum class SignatureResult {
    Ok,               // a JP2 signature box; the stream stands behind it
    ReadFailure,      // the file ended within the signature
    CodestreamFound,  // a raw J2K codestream (SOC followed by SIZ)
    ParseFailure,     // anything else
};

// Tests the 12-byte JP2 signature box, telling a raw J2K codestream apart.
SignatureResult testSignature(ByteStream& stream);
// Writes the 12-byte JP2 signature box.
void writeSignature(ByteStream& stream);

}  // namespace bq
