#include "box/read_box.h"

#include <new>

#include "box/association_box.h"
#include "box/file_type_box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"

namespace bq {

std::unique_ptr<Box> makeBoxOfKind(std::uint32_t type, std::uint64_t payloadSize,
                                   bool /*runsToEnd*/) {
    switch (type) {
        case kTypeAsoc:
            return std::make_unique<AssociationBox>(payloadSize);
        case kTypeFtyp:
            return std::make_unique<FileTypeBox>(payloadSize);
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

std::unique_ptr<Box> readBox(ByteStream& stream, ReadContext& context) {
    if (!stream.isOpen()) {
        return nullptr;
    }
    const std::uint64_t start = stream.tell();
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    stream.readU32(length);
    stream.readU32(type);
    if (stream.atEnd()) {
        return nullptr;
    }
    // Length 1 announces a 64-bit length behind the type; 2 to 7 cannot hold a header; a box
    // as long as the whole file leaves no room for the signature.
    std::uint64_t boxLength = length;
    std::uint64_t headerLength = kBoxHeaderSize;
    HeaderForm form = HeaderForm::Plain;
    if (length == 1) {
        std::uint32_t high = 0;
        std::uint32_t low = 0;
        stream.readU32(high);
        stream.readU32(low);
        if (stream.atEnd()) {
            return nullptr;
        }
        boxLength = (std::uint64_t{high} << 32) | low;
        headerLength = kExtendedHeaderSize;
        form = HeaderForm::Extended;
    }
    if ((length != 0 && boxLength < headerLength) || boxLength >= context.fileSize) {
        return nullptr;
    }
    // Length 0: the box runs to the end of the file (were it read as empty, a run of zeros
    // would be taken for millions of boxes).
    const std::uint64_t position = stream.tell();
    const std::uint64_t rest = context.fileSize > position ? context.fileSize - position : 0;
    const std::uint64_t payloadSize = length == 0 ? rest : boxLength - headerLength;

    std::unique_ptr<Box> box;
    try {
        box = context.make(type, payloadSize, length == 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    box->headerForm = form;
    box->fileOffset = start;
    NestingContext& nesting = context.nesting;
    box->depth = nesting.depth;
    box->parent = nesting.parent;
    if (!box->readPayload(stream, context)) {
        // An association pushes itself before it could fail; never leave it on the context.
        if (nesting.parent == box.get()) {
            nesting.parent = box->parent;
            nesting.depth = box->depth;
        }
        return nullptr;
    }
    // Only a box that took the rest of the file keeps the length 0 it was read with.
    if (length == 0 && box->payloadSize != 0) {
        box->headerForm = HeaderForm::ToEnd;
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
