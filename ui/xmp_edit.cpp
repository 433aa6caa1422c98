#include "ui/xmp_edit.h"

#include <algorithm>
#include <new>

#include "box/uuid_box.h"
#include "formats/xml_check.h"
#include "formats/xmp_packet.h"
#include "ui/jp2_header_edit.h"
#include "ui/save_document.h"

namespace bq {

namespace {

bool isXmpBox(const Box& box) {
    return box.type == kTypeUuid && box.payloadSize >= kXmpUuid.size() &&
           box.data.size() >= kXmpUuid.size() &&
           std::equal(kXmpUuid.begin(), kXmpUuid.end(), box.data.begin());
}

}  // namespace

int xmpRow(const BoxList& boxes) {
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box != nullptr && isXmpBox(*box)) {
            return row;
        }
    }
    return -1;
}

std::optional<std::string> xmpPacket(const BoxList& boxes, std::string& why) {
    const int row = xmpRow(boxes);
    if (row < 0) {
        why = "the file has no XMP box";
        return std::nullopt;
    }
    const Box& box = *boxes.boxAt(row);
    // `data` holds the payload and a NUL; a payload cut short by the file's end holds less.
    const std::size_t end =
        static_cast<std::size_t>(std::min<std::uint64_t>(box.payloadSize, box.data.size()));
    return std::string(box.data.begin() + static_cast<std::ptrdiff_t>(kXmpUuid.size()),
                       box.data.begin() + static_cast<std::ptrdiff_t>(end));
}

bool setXmpPacket(App& app, std::string_view packet) {
    if (const std::string problem = xmlProblem(packet); !problem.empty()) {
        return app.showError("the XMP packet is " + problem);
    }
    if (packet.size() > kMaxHeldPayload - kXmpUuid.size()) {
        return app.showError("the XMP packet is too large");
    }
    std::vector<std::uint8_t> data;
    try {
        data.reserve(kXmpUuid.size() + packet.size() + 1);
    } catch (const std::bad_alloc&) {
        return app.showError("not enough memory for the XMP packet");
    }
    data.insert(data.end(), kXmpUuid.begin(), kXmpUuid.end());
    data.insert(data.end(), packet.begin(), packet.end());
    data.push_back(0);
    const std::uint64_t payloadSize = data.size() - 1;

    BoxList& boxes = app.boxes();
    UndoStep step(app);
    if (const int row = xmpRow(boxes); row >= 0) {
        Box& box = *boxes.boxAt(row);
        box.data = std::move(data);
        box.payloadSize = payloadSize;
    } else {
        const int header = jp2HeaderRow(boxes);
        if (header < 0) {
            return app.showError("the file has no JP2 header box to put an XMP box after");
        }
        auto box = std::make_unique<UuidBox>(payloadSize);
        box->data = std::move(data);
        if (insertBoxRow(boxes, header + 1, std::move(box)) < 0) {
            return app.showError("the XMP box could not be added");
        }
    }
    step.commit();
    app.markModified();
    refreshAssociationSizes(boxes);
    return true;
}

XmpEdit applyXmpEdit(App& app, std::string_view opened, std::string_view edited) {
    std::string packet;
    if (opened.find("\r\n") == std::string_view::npos) {
        packet.reserve(edited.size());
        for (std::size_t i = 0; i < edited.size(); ++i) {
            if (!(edited[i] == '\r' && i + 1 < edited.size() && edited[i + 1] == '\n')) {
                packet.push_back(edited[i]);
            }
        }
    } else {
        packet = edited;
    }
    if (packet == opened) {
        return XmpEdit::Unchanged;
    }
    return setXmpPacket(app, packet) ? XmpEdit::Replaced : XmpEdit::Refused;
}

}  // namespace bq
