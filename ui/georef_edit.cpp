#include "ui/georef_edit.h"

#include <algorithm>
#include <charconv>

#include "box/uuid_box.h"
#include "describe/georeferencing.h"
#include "formats/geo_transform.h"
#include "formats/geotiff.h"
#include "formats/gml_grid.h"
#include "formats/gml_root_instance.h"
#include "formats/jp2_header.h"
#include "formats/world_file.h"
#include "stream/file_stream.h"
#include "stream/input_file.h"
#include "ui/commands.h"
#include "ui/file_checks.h"
#include "ui/jp2_header_edit.h"
#include "ui/save_document.h"

namespace bq {

namespace {

bool isGeoTiffBox(const Box& box) {
    const auto* uuid = dynamic_cast<const UuidBox*>(&box);
    return uuid != nullptr && uuid->isGeoTiff;
}

// The GML root instance that says what `tags` say, or none after showError. The tags go
// through the GeoJP2 decoder, so the grid says what a reader of the GeoJP2 box will see.
std::optional<std::string> gmlFor(App& app, const GeoTiffTags& tags) {
    const GeoTiffResult decoded = decodeGeoTiff(writeGeoTiff(tags));
    if (!decoded.geoTiff) {
        app.showError("the georeferencing tags cannot be read back");
        return std::nullopt;
    }
    const Georeferencing georef = georeferencingOf(*decoded.geoTiff);
    if (!georef.epsg) {
        app.showError("a GMLJP2 grid needs an EPSG code, and the coordinate system has none");
        return std::nullopt;
    }
    if (!georef.geoTransform) {
        app.showError("a GMLJP2 grid needs a pixel size, and the tags give only tie points");
        return std::nullopt;
    }
    std::string why;
    const auto header = jp2HeaderPayload(app.boxes(), why);
    const auto image = header ? decodeJp2Header(*header).imageHeader : std::nullopt;
    if (!image) {
        app.showError("a GMLJP2 grid needs the image size, and the JP2 header gives none" +
                      (why.empty() ? std::string() : ": " + why));
        return std::nullopt;
    }
    return gmlRootInstance(*georef.geoTransform, *georef.epsg, image->width, image->height);
}

// Why `tags` place no image, by the rule a world file is held to; none when they do. A GeoTIFF
// may carry NaN or a zero scale as readily as a world file, and a grid written from it would
// say "nan" where a reader needs a number.
std::optional<std::string> tagsFault(const GeoTiffTags& tags) {
    for (const auto& [values, what] : {std::pair{&tags.pixelScale, "pixel scale"},
                                       {&tags.tiepoints, "tie point"},
                                       {&tags.transformation, "model transformation"}}) {
        if (auto fault = nonFiniteFault(*values, what)) {
            return fault;
        }
    }
    const GeoTiffResult decoded = decodeGeoTiff(writeGeoTiff(tags));
    if (decoded.geoTiff) {
        if (const auto& geoTransform = georeferencingOf(*decoded.geoTiff).geoTransform) {
            return geoTransformFault(*geoTransform);
        }
    }
    return std::nullopt;
}

// Bigger than any world file: six numbers and their line ends.
constexpr std::uint64_t kMaxWorldFile = 64 * 1024;

}  // namespace

std::optional<GeoTiffTags> geoTiffFileTags(const std::string& path, std::string& why) {
    // Random access is needed, so a FIFO or device is no GeoTIFF source.
    if (isSpecialFile(path)) {
        why = "it is not a regular file";
        return std::nullopt;
    }
    FileStream file;
    if (!file.open(path, "rb")) {
        why = "it cannot be opened";
        return std::nullopt;
    }
    const std::int64_t size = file.sizeWide();
    if (size < 0) {
        why = "its size cannot be measured";
        return std::nullopt;
    }
    const ReadAt read = [&file](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (!file.seek(offset)) {
            return false;
        }
        for (std::size_t done = 0; done < out.size();) {
            const auto step =
                static_cast<std::uint32_t>(std::min<std::size_t>(out.size() - done, 1u << 30));
            file.readBytes(out.data() + done, step);
            done += step;
        }
        return file.good();
    };
    GeoTiffTagsResult result = readGeoTiffTags(read, static_cast<std::uint64_t>(size));
    if (!result.tags) {
        why = result.fault.value_or("it is not a GeoTIFF");
    }
    return std::move(result.tags);
}

bool isTiffFile(const std::string& path) {
    FileStream file;
    if (isSpecialFile(path) || !file.open(path, "rb")) {
        return false;
    }
    std::uint8_t start[4] = {};
    file.readBytes(start, sizeof start);
    if (!file.good()) {
        return false;
    }
    // Byte order, then 42 (classic) or 43 (BigTIFF) in that order.
    const bool little = start[0] == 'I' && start[1] == 'I' && start[3] == 0;
    const bool big = start[0] == 'M' && start[1] == 'M' && start[2] == 0;
    const std::uint8_t version = little ? start[2] : big ? start[3] : 0;
    return version == 42 || version == 43;
}

std::optional<int> parseEpsgCode(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    text = first == std::string_view::npos
               ? std::string_view()
               : text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.starts_with("EPSG:") || text.starts_with("epsg:")) {
        text.remove_prefix(5);
    }
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || code < 1 ||
        code > 32766) {
        return std::nullopt;
    }
    return code;
}

std::optional<GeoTiffTags> worldFileTags(const std::string& path, int epsg, std::string& why) {
    const InputBytes input = readInput(path, kMaxWorldFile);
    switch (input.error) {
        case InputError::None:
            break;
        case InputError::TooLarge:
            why = "it is larger than a world file can be";
            return std::nullopt;
        default:
            why = "it cannot be read";
            return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(input.bytes.data()),
                                input.bytes.size());
    const auto geoTransform = parseWorldFile(text, why);
    if (!geoTransform) {
        return std::nullopt;
    }
    return geoTiffTagsFor(*geoTransform, epsg, isGeographicEpsg(epsg));
}

std::optional<GeoTiffTags> georeferencingTags(const std::string& path, std::optional<int> worldEpsg,
                                              std::string& why) {
    return worldEpsg ? worldFileTags(path, *worldEpsg, why) : geoTiffFileTags(path, why);
}

std::vector<int> georeferencingRows(const BoxList& boxes) {
    const int count = boxes.rowCount();
    std::vector<const Box*> all;
    all.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int row = 0; row < count; ++row) {
        all.push_back(boxes.boxAt(row));
    }
    // One pass for the labels, and a set's rows skipped whole: nested associations cost no
    // more than flat ones.
    const std::map<const Box*, std::string> labels = firstLabelTexts(all);
    std::vector<int> rows;
    for (int row = 0; row < count; ++row) {
        const Box* box = all[static_cast<std::size_t>(row)];
        if (box == nullptr) {
            continue;
        }
        if (isGeoTiffBox(*box)) {
            rows.push_back(row);
        } else if (const auto label = labels.find(box);
                   box->type == kTypeAsoc && label != labels.end() && label->second == "gml.data") {
            rows.push_back(row);
            row += nestedRowCount(boxes, row);
        }
    }
    return rows;
}

bool setGeoreferencing(App& app, const GeoTiffTags& tags, GeoreferencingBoxes which) {
    BoxList& boxes = app.boxes();
    if (!which.geoJp2 && !which.gml) {
        return app.showError("Choose the GeoJP2 box, the GMLJP2 boxes or both.");
    }
    if (jp2HeaderRow(boxes) < 0) {
        return app.showError("the file has no JP2 header box to put georeferencing after");
    }
    if (const auto fault = tagsFault(tags)) {
        return app.showError("the georeferencing can't be used: " + *fault);
    }
    std::optional<std::string> gml;
    if (which.gml && !(gml = gmlFor(app, tags))) {
        return false;
    }
    const std::vector<std::uint8_t> payload = geoJp2Payload(tags);
    if (payload.size() > kMaxHeldPayload) {
        return app.showError("the georeferencing tags are too large for a GeoJP2 box");
    }

    // From the last row back, so the rows still to remove keep their indices.
    const std::vector<int> old = georeferencingRows(boxes);
    UndoStep step(app);
    for (auto row = old.rbegin(); row != old.rend(); ++row) {
        const bool set = boxes.boxAt(*row)->type == kTypeAsoc;
        boxes.deleteRows(*row, set ? nestedRowCount(boxes, *row) + 1 : 1);
    }
    if (!old.empty()) {
        app.boxesDestroyed();
    }
    int index = jp2HeaderRow(boxes) + 1;
    int first = -1;
    if (which.geoJp2) {
        auto box = std::make_unique<UuidBox>(payload.size(), true);
        box->data = payload;
        box->data.push_back(0);
        first = insertBoxRow(boxes, index++, std::move(box));
    }
    if (gml) {
        const int xmlRow = insertGmlSet(boxes, index, 0, nullptr, *gml);
        if (first < 0 && xmlRow >= 0) {
            first = index;
        }
    }
    boxes.repaintAll();
    if (first >= 0) {
        boxes.selectRow(first);
    }
    step.commit();
    app.markModified();
    refreshAssociationSizes(boxes);
    return true;
}

}  // namespace bq
