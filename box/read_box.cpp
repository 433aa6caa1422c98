#include "box/read_box.h"

#include <new>

#include "box/association_box.h"
#include "box/file_type_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "codestream/codestream_box.h"

namespace bq {

namespace {

std::unique_ptr<Box> makeBox(std::uint32_t type, std::uint32_t payloadSize) {
    switch (type) {
        case kTypeAsoc:
            return std::make_unique<AssociationBox>(payloadSize);
        case kTypeFtyp:
            return std::make_unique<FileTypeBox>(payloadSize);
        case kTypeJp2c:
            // The codestream is captured up to its end marker, whatever the length says.
            return std::make_unique<CodestreamBox>();
        case kTypeLbl:
            return std::make_unique<LabelBox>(payloadSize);
        case kTypeUuid:
            return std::make_unique<UuidBox>(payloadSize, false);
        case kTypeXml:
            return std::make_unique<XmlBox>(payloadSize);
        default:
            return std::make_unique<GenericBox>(payloadSize, type);
    }
}

}  // namespace

std::unique_ptr<Box> readBox(ByteStream& stream, std::uint32_t fileSize, NestingContext& nesting) {
    if (!stream.isOpen()) {
        return nullptr;
    }
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    stream.readU32(length);
    stream.readU32(type);
    if (stream.atEnd()) {
        return nullptr;
    }
    // Length 1 announces a 64-bit length, which is not supported; 2 to 7 cannot hold a
    // header; a box as long as the whole file leaves no room for the signature.
    if (length == 1 || (length >= 2 && length < kBoxHeaderSize) || length >= fileSize) {
        return nullptr;
    }
    // Length 0 (a box running to the end of the file) is read with an empty payload.
    const std::uint32_t payloadSize = length == 0 ? 0 : length - kBoxHeaderSize;

    std::unique_ptr<Box> box;
    try {
        box = makeBox(type, payloadSize);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    box->depth = nesting.depth;
    box->parent = nesting.parent;
    if (!box->readPayload(stream, fileSize, nesting)) {
        // An association pushes itself before it could fail; never leave it on the context.
        if (nesting.parent == box.get()) {
            nesting.parent = box->parent;
            nesting.depth = box->depth;
        }
        return nullptr;
    }

    // Finished associations come off; several can end at the same position.
    while (nesting.parent != nullptr && stream.tell() >= nesting.parent->endPosition) {
        if (nesting.depth > 0) {
            --nesting.depth;
        }
        nesting.parent = nesting.parent->parent;
    }
    return box;
}

}  // namespace bq
