#include "ui/jp2_header_edit.h"

#include <new>

#include "describe/payload_bytes.h"
#include "formats/icc_import_check.h"
#include "formats/jp2_header.h"
#include "ui/save_document.h"

namespace bq {

int jp2HeaderRow(const BoxList& boxes) {
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box != nullptr && box->type == kTypeJp2h && box->parent == nullptr) {
            return row;
        }
    }
    return -1;
}

std::optional<std::vector<std::uint8_t>> jp2HeaderPayload(const BoxList& boxes, std::string& why) {
    const int row = jp2HeaderRow(boxes);
    if (row < 0) {
        why = "the file has no JP2 header box";
        return std::nullopt;
    }
    const Box& box = *boxes.boxAt(row);
    // A payload that ran past the end of its file holds fewer bytes than its length says.
    const std::uint64_t held = box.window ? box.window->length : box.data.size();
    if (held < box.payloadSize) {
        why = "the JP2 header is cut short by the end of the file";
        return std::nullopt;
    }
    std::string reason;
    std::optional<PayloadBytes> payload = payloadBytes(box, kMaxDecodedPayload, reason);
    if (!payload) {
        why = "the JP2 header can't be read (" + reason + ")";
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(payload->bytes.begin(), payload->bytes.end());
}

bool changeJp2Header(App& app, const Jp2HeaderChange& change) {
    std::string why;
    const std::optional<std::vector<std::uint8_t>> old = jp2HeaderPayload(app.boxes(), why);
    if (!old) {
        return app.showError(why);
    }
    std::optional<std::vector<std::uint8_t>> fresh = change(*old, why);
    if (!fresh) {
        return app.showError(why);
    }
    Box& box = *app.boxes().boxAt(jp2HeaderRow(app.boxes()));
    try {
        fresh->push_back(0);  // `data` keeps a NUL behind the payload
    } catch (const std::bad_alloc&) {
        return app.showError("not enough memory for the JP2 header");
    }
    box.payloadSize = fresh->size() - 1;
    box.data = std::move(*fresh);
    box.window.reset();
    app.markModified();
    refreshAssociationSizes(app.boxes());
    return true;
}

bool setResolution(App& app, const ResolutionChange& capture, const ResolutionChange& display) {
    return changeJp2Header(app, [&](std::span<const std::uint8_t> payload, std::string& why) {
        return setJp2Resolution(payload, capture, display, why);
    });
}

namespace {

// The colour channels a profile must describe: the palette's columns when there is one, else
// the image's components less those the channel definitions mark as other than colour.
int colourChannels(const Jp2Header& header) {
    if (header.channels) {
        int colour = 0;
        for (const ChannelDefinition& channel : *header.channels) {
            colour += channel.type == 0 ? 1 : 0;
        }
        return colour;
    }
    if (header.palette) {
        return header.palette->columns;
    }
    return header.imageHeader ? header.imageHeader->components : 0;
}

}  // namespace

bool importColourProfile(App& app, std::optional<std::size_t> colr,
                         std::span<const std::uint8_t> profile) {
    return changeJp2Header(app,
                           [&](std::span<const std::uint8_t> payload,
                               std::string& why) -> std::optional<std::vector<std::uint8_t>> {
                               // An unreadable header or a missing colour box is said before the
                               // profile's faults.
                               std::optional<std::vector<std::uint8_t>> fresh =
                                   setJp2Profile(payload, colr.value_or(0), profile, why);
                               if (!fresh) {
                                   return std::nullopt;
                               }
                               const std::string problem = iccImportProblem(
                                   profile, colourChannels(decodeJp2Header(payload)));
                               if (!problem.empty()) {
                                   why = "the profile can't be used: " + problem;
                                   return std::nullopt;
                               }
                               return fresh;
                           });
}

std::optional<std::vector<std::uint8_t>> colourProfile(const BoxList& boxes,
                                                       std::optional<std::size_t> colr,
                                                       std::string& why) {
    const std::optional<std::vector<std::uint8_t>> payload = jp2HeaderPayload(boxes, why);
    if (!payload) {
        return std::nullopt;
    }
    if (!colr) {
        colr = firstProfileColour(*payload);
        if (!colr) {
            why = "no colour box in the JP2 header holds an ICC profile";
            return std::nullopt;
        }
    }
    return jp2Profile(*payload, *colr, why);
}

}  // namespace bq
