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
    BoxHeader header;
    // A box as long as the whole file leaves no room for the signature.
    if (readBoxHeader(stream, header) != BoxHeaderFault::None ||
        header.length >= context.fileSize) {
        return nullptr;
    }
    // Length 0: the box runs to the end of the file (were it read as empty, a run of zeros
    // would be taken for millions of boxes).
    const std::uint64_t room = context.fileSize > start ? context.fileSize - start : 0;
    const std::uint64_t payloadSize = header.payloadLength(room);
    const bool toEnd = header.form == HeaderForm::ToEnd;
    const std::uint32_t type = header.type;

    std::unique_ptr<Box> box;
    try {
        box = context.make(type, payloadSize, toEnd);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    box->headerForm = toEnd ? HeaderForm::Plain : header.form;
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
    if (toEnd && box->payloadSize != 0) {
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
