#include "ui/jp2_header_edit.h"

#include <charconv>
#include <cstdio>
#include <new>

#include "describe/payload_bytes.h"
#include "formats/icc_import_check.h"
#include "formats/jp2_header.h"
#include "stream/replace_file.h"
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
    UndoStep step(app);
    box.payloadSize = fresh->size() - 1;
    box.data = std::move(*fresh);
    box.window.reset();
    step.commit();
    app.markModified();
    refreshAssociationSizes(app.boxes());
    return true;
}

bool setResolution(App& app, const ResolutionChange& capture, const ResolutionChange& display) {
    return changeJp2Header(app, [&](std::span<const std::uint8_t> payload, std::string& why) {
        return setJp2Resolution(payload, capture, display, why);
    });
}

std::optional<double> parseResolutionValue(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0)) {
        return std::nullopt;
    }
    return value;
}

std::optional<FittedResolution> fitResolutions(double horizontal, double vertical,
                                               ResolutionUnit unit) {
    const std::optional<ResolutionFit> h = fitResolution(horizontal, unit);
    const std::optional<ResolutionFit> v = fitResolution(vertical, unit);
    if (!h || !v) {
        return std::nullopt;
    }
    FittedResolution fitted;
    fitted.change.action = ResolutionChange::Action::Set;
    fitted.change.horizontal = h->axis;
    fitted.change.vertical = v->axis;
    if (!h->exact || !v->exact) {
        fitted.inexact = h->exact ? v->axis : h->axis;
    }
    return fitted;
}

namespace {

std::string dpiText(const ResolutionAxis& axis) {
    const std::optional<double> perInch = axis.perInch();
    if (!perInch) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", *perInch);
    return text;
}

bool blank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

std::array<ResolutionFields, 2> storedResolutionFields(const BoxList& boxes) {
    std::array<ResolutionFields, 2> fields;
    std::string why;
    const auto payload = jp2HeaderPayload(boxes, why);
    if (!payload) {
        return fields;
    }
    const Jp2Header header = decodeJp2Header(*payload);
    const std::optional<Resolution>* kinds[] = {&header.capture, &header.display};
    for (std::size_t kind = 0; kind < fields.size(); ++kind) {
        if (*kinds[kind]) {
            fields[kind].horizontal = dpiText((*kinds[kind])->horizontal);
            fields[kind].vertical = dpiText((*kinds[kind])->vertical);
        }
    }
    return fields;
}

std::optional<ResolutionChange> resolutionFromFields(const ResolutionFields& fields,
                                                     const ResolutionFields& shown,
                                                     std::string& why) {
    ResolutionChange change;
    if (fields.remove) {
        change.action = ResolutionChange::Action::Remove;
        return change;
    }
    if (fields == shown || (blank(fields.horizontal) && blank(fields.vertical))) {
        return change;  // Keep
    }
    const std::optional<double> horizontal = parseResolutionValue(fields.horizontal);
    const std::optional<double> vertical =
        blank(fields.vertical) ? horizontal : parseResolutionValue(fields.vertical);
    if (!horizontal || !vertical) {
        why = "give positive numbers";
        return std::nullopt;
    }
    const std::optional<FittedResolution> fitted =
        fitResolutions(*horizontal, *vertical, fields.unit);
    if (!fitted) {
        why = "beyond what a resolution box can hold";
        return std::nullopt;
    }
    return fitted->change;
}

InputBytes readProfileFile(const std::string& path) {
    return readInput(path, kMaxProfile);
}

bool writeProfileFile(const std::string& path, std::span<const std::uint8_t> profile,
                      std::string& why) {
    if (profile.size() > kMaxProfile) {
        why = "the colour profile is too large to export";
        return false;
    }
    const ReplaceResult written = replaceFile(path, [&](FileStream& file) {
        if (!profile.empty()) {
            file.writeBytes(profile.data(), static_cast<std::uint32_t>(profile.size()));
        }
        return file.good();
    });
    if (written.outcome != ReplaceOutcome::Written) {
        why = replaceFailureMessage(written.outcome);
        return false;
    }
    return true;
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
