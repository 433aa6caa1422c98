#include "formats/icc_import_check.h"

#include "formats/box_span.h"
#include "formats/icc_profile.h"

namespace bq {

std::optional<int> iccSpaceChannels(std::uint32_t colourSpace) {
    switch (colourSpace) {
        case 0x47524159:  // 'GRAY'
            return 1;
        case 0x52474220:  // 'RGB '
        case 0x59436272:  // 'YCbr'
        case 0x4C616220:  // 'Lab '
        case 0x58595A20:  // 'XYZ '
        case 0x4C757620:  // 'Luv '
        case 0x59787920:  // 'Yxy '
        case 0x48535620:  // 'HSV '
        case 0x484C5320:  // 'HLS '
        case 0x434D5920:  // 'CMY '
            return 3;
        case 0x434D594B:  // 'CMYK'
            return 4;
        default:
            break;
    }
    // 'nCLR' with n a hexadecimal digit from 2 to F.
    if ((colourSpace & 0x00FFFFFF) == 0x00434C52) {
        const auto digit = static_cast<char>(colourSpace >> 24);
        if (digit >= '2' && digit <= '9') {
            return digit - '0';
        }
        if (digit >= 'A' && digit <= 'F') {
            return digit - 'A' + 10;
        }
    }
    return std::nullopt;
}

std::string iccImportProblem(std::span<const std::uint8_t> profile, int channels) {
    const std::optional<IccProfile> header = decodeIccProfile(profile);
    if (!header) {
        return "the profile is " + std::to_string(profile.size()) +
               " bytes, shorter than an ICC header (128 bytes)";
    }
    if (header->size != profile.size()) {
        return "the profile's size field says " + std::to_string(header->size) +
               " bytes, but the file holds " + std::to_string(profile.size());
    }
    if (!header->signatureOk) {
        return "the profile lacks the 'acsp' signature at offset 36: it is no ICC profile";
    }
    const std::optional<int> needed = iccSpaceChannels(header->colourSpace);
    if (!needed) {
        return "the profile's colour space '" + typeName(header->colourSpace) + "' is unknown";
    }
    if (*needed != channels) {
        return "the profile's colour space '" + typeName(header->colourSpace) + "' has " +
               std::to_string(*needed) + " channel" + (*needed == 1 ? "" : "s") + ", the image " +
               std::to_string(channels);
    }
    return {};
}

}  // namespace bq
