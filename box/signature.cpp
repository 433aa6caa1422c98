#include "box/signature.h"

#include "stream/box_type.h"

namespace bq {

namespace {

constexpr std::uint16_t kMarkerSoc = 0xFF4F;
constexpr std::uint16_t kMarkerSiz = 0xFF51;

}  // namespace

SignatureResult testSignature(ByteStream& stream) {
    std::uint16_t lead = 0;
    stream.readU16(lead);
    if (!stream.good()) {
        return SignatureResult::ReadFailure;
    }
    if (lead == kMarkerSoc) {
        // Read into the same word: a file ending here leaves it byte-reversed (0x4FFF), which
        // is then neither SIZ nor the signature's zero high half.
        stream.readU16(lead);
        if (lead == kMarkerSiz) {
            return SignatureResult::CodestreamFound;
        }
    }
    if (lead != 0) {
        return SignatureResult::ParseFailure;
    }
    std::uint16_t length = 0;
    std::uint32_t type = 0;
    std::uint32_t content = 0;
    stream.readU16(length);
    stream.readU32(type);
    stream.readU32(content);
    if (!stream.good()) {
        return SignatureResult::ReadFailure;
    }
    if (length != kSignatureLength || type != kTypeSignature || content != kSignatureContent) {
        return SignatureResult::ParseFailure;
    }
    return SignatureResult::Ok;
}

void writeSignature(ByteStream& stream) {
    stream.writeU32(kSignatureLength);
    stream.writeU32(kTypeSignature);
    stream.writeU32(kSignatureContent);
}

}  // namespace bq
