#include "describe/georeferencing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "box/uuid_box.h"
#include "describe/payload_bytes.h"
#include "formats/geo_transform.h"

namespace bq {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint16_t kUserDefined = 32767;

std::optional<int> geoTiffEpsg(const GeoTiff& geoTiff) {
    const auto code = [&geoTiff](std::uint16_t id) -> std::optional<int> {
        const auto value = geoTiff.shortKey(id);
        if (!value || *value == 0 || *value == kUserDefined) {
            return std::nullopt;
        }
        return *value;
    };
    if (geoTiff.shortKey(kGeoKeyModelType) != std::uint16_t{2}) {
        if (auto projected = code(kGeoKeyProjectedType)) {
            return projected;
        }
    }
    return code(kGeoKeyGeographicType);
}

std::string rasterTypeName(std::uint16_t value) {
    return value == 2 ? "PixelIsPoint" : value == 1 ? "PixelIsArea" : std::to_string(value);
}

std::array<double, 2> apply(const std::array<double, 6>& gt, double px, double py) {
    return {gt[0] + px * gt[1] + py * gt[2], gt[3] + px * gt[4] + py * gt[5]};
}

Json point(const std::array<double, 2>& xy) {
    return Json::array({xy[0], xy[1]});
}

// Equal within 1e-9 of the larger magnitude (two zeros are equal).
bool close(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

std::string text(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

}  // namespace

void compareGeoreferencing(const Georeferencing& geoJp2, const Georeferencing& gml,
                           std::vector<std::string>& warnings) {
    if (geoJp2.epsg != gml.epsg) {
        const auto name = [](const std::optional<int>& code) {
            return code ? "EPSG:" + std::to_string(*code) : std::string("no EPSG code");
        };
        warnings.push_back("the GML grid says " + name(gml.epsg) + ", the GeoJP2 box " +
                           name(geoJp2.epsg));
    }
    if (!geoJp2.geoTransform || !gml.geoTransform) {
        return;
    }
    const auto& a = *geoJp2.geoTransform;
    const auto& b = *gml.geoTransform;
    if (!close(a[0], b[0]) || !close(a[3], b[3])) {
        warnings.push_back("the GML grid's origin is (" + text(b[0]) + ", " + text(b[3]) +
                           "), the GeoJP2 box's (" + text(a[0]) + ", " + text(a[3]) + ")");
    }
    if (!close(a[1], b[1]) || !close(a[5], b[5]) || !close(a[2], b[2]) || !close(a[4], b[4])) {
        warnings.push_back("the GML grid's pixel size is (" + text(b[1]) + ", " + text(b[5]) +
                           "), the GeoJP2 box's (" + text(a[1]) + ", " + text(a[5]) + ")");
    }
}

std::map<const Box*, std::string> firstLabelTexts(std::span<const Box* const> rows) {
    std::map<const Box*, std::string> labels;
    for (const Box* box : rows) {
        if (box != nullptr && box->type == kTypeLbl && box->parent != nullptr) {
            labels.try_emplace(box->parent, box->text());
        }
    }
    return labels;
}

Georeferencing georeferencingOf(const GeoTiff& geoTiff) {
    Georeferencing out;
    out.source = "GeoJP2";
    out.epsg = geoTiffEpsg(geoTiff);
    const auto raster = geoTiff.shortKey(kGeoKeyRasterType);
    if (raster) {
        out.rasterType = rasterTypeName(*raster);
    }
    const auto& m = geoTiff.transformation;
    const auto& tie = geoTiff.tiepoints;
    const auto& scale = geoTiff.pixelScale;
    if (m.size() == 16) {
        out.geoTransform = {m[3], m[0], m[1], m[7], m[4], m[5]};
    } else if (tie.size() >= 6 && scale.size() >= 2) {
        // Rows run down the image: GDAL takes a negative Y scale for a sign written wrongly.
        const double sy = std::fabs(scale[1]);
        out.geoTransform = {tie[3] - tie[0] * scale[0], scale[0], 0.0,
                            tie[4] + tie[1] * sy,       0.0,      -sy};
    }
    // A tiepoint of PixelIsPoint names a pixel's centre; GDAL moves it to the corner.
    if (out.geoTransform && raster == std::uint16_t{2}) {
        out.geoTransform = cornerFromCentre(*out.geoTransform);
    }
    return out;
}

Georeferencing georeferencingOf(const GmlGrid& grid) {
    Georeferencing out;
    out.source = "GMLJP2";
    out.epsg = grid.epsg;
    // The origin is the centre of the first pixel.
    const auto& o = grid.origin;
    const auto& v1 = grid.offset1;
    const auto& v2 = grid.offset2;
    out.geoTransform = cornerFromCentre({o[0], v1[0], v2[0], o[1], v1[1], v2[1]});
    return out;
}

Json georeferencingFields(const Georeferencing& georef, std::optional<RasterSize> size) {
    Json fields = {{"source", georef.source}};
    if (georef.epsg) {
        fields["epsg"] = *georef.epsg;
    }
    if (const auto& gt = georef.geoTransform) {
        fields["geoTransform"] = Json::array();
        for (const double value : *gt) {
            fields["geoTransform"].push_back(value);
        }
        fields["origin"] = {{"x", (*gt)[0]}, {"y", (*gt)[3]}};
        fields["pixelSize"] = {{"x", (*gt)[1]}, {"y", (*gt)[5]}};
        if (size) {
            const double w = size->width;
            const double h = size->height;
            fields["corners"] = {{"upperLeft", point(apply(*gt, 0, 0))},
                                 {"lowerLeft", point(apply(*gt, 0, h))},
                                 {"upperRight", point(apply(*gt, w, 0))},
                                 {"lowerRight", point(apply(*gt, w, h))},
                                 {"center", point(apply(*gt, w / 2, h / 2))}};
        }
    } else {
        fields["geoTransform"] = nullptr;
    }
    if (georef.rasterType) {
        fields["rasterType"] = *georef.rasterType;
    }
    return fields;
}

Json geoTiffFields(const GeoTiff& geoTiff) {
    Json fields = {{"byteOrder", geoTiff.littleEndian ? "II" : "MM"}};
    if (geoTiff.width) {
        fields["width"] = *geoTiff.width;
    }
    if (geoTiff.height) {
        fields["height"] = *geoTiff.height;
    }
    const auto doubles = [&fields](const char* key, const std::vector<double>& values) {
        if (!values.empty()) {
            fields[key] = values;
        }
    };
    doubles("pixelScale", geoTiff.pixelScale);
    doubles("tiepoints", geoTiff.tiepoints);
    doubles("transformation", geoTiff.transformation);
    if (geoTiff.keyDirectoryVersion) {
        fields["keyDirectoryVersion"] = *geoTiff.keyDirectoryVersion;
        fields["keyRevision"] = std::to_string(geoTiff.keyRevision.value_or(0)) + "." +
                                std::to_string(geoTiff.minorRevision.value_or(0));
    }
    Json keys = Json::array();
    for (const GeoKey& key : geoTiff.keys) {
        Json entry = {{"id", key.id}};
        if (const std::string name = geoKeyName(key.id); !name.empty()) {
            entry["name"] = name;
        }
        if (key.shortValue) {
            entry["value"] = *key.shortValue;
        } else if (key.text) {
            entry["value"] = *key.text;
        } else if (!key.doubles.empty()) {
            entry["value"] = key.doubles;
        } else {
            entry["value"] = nullptr;
        }
        if (key.id == kGeoKeyModelType && key.shortValue) {
            static constexpr const char* kModels[] = {"", "projected", "geographic", "geocentric"};
            if (*key.shortValue >= 1 && *key.shortValue <= 3) {
                entry["meaning"] = kModels[*key.shortValue];
            }
        } else if (key.id == kGeoKeyRasterType && key.shortValue) {
            entry["meaning"] = rasterTypeName(*key.shortValue);
        }
        keys.push_back(std::move(entry));
    }
    fields["keys"] = std::move(keys);
    return fields;
}

Json gmlGridFields(const GmlGrid& grid) {
    Json fields = {{"version", grid.version}};
    if (grid.srsName) {
        fields["srsName"] = *grid.srsName;
    }
    if (grid.epsg) {
        fields["epsg"] = *grid.epsg;
    }
    fields["axesSwapped"] = grid.axesSwapped;
    if (grid.low && grid.high) {
        fields["gridEnvelope"] = {{"low", *grid.low}, {"high", *grid.high}};
    }
    fields["origin"] = point(grid.origin);
    fields["offsetVector1"] = point(grid.offset1);
    fields["offsetVector2"] = point(grid.offset2);
    return fields;
}

bool describeGeoJp2Payload(std::span<const std::uint8_t> payload, Description& description) {
    if (!isGeoTiffPayload(payload)) {
        return false;
    }
    const GeoTiffResult result = decodeGeoTiff(payload.subspan(16));
    if (!result.geoTiff) {
        description.warnings.push_back("GeoJP2: " + result.fault.value_or("not decoded"));
        return true;
    }
    description.fields["geoTiff"] = geoTiffFields(*result.geoTiff);
    description.fields["georeferencing"] =
        georeferencingFields(georeferencingOf(*result.geoTiff), std::nullopt);
    for (const std::string& warning : result.geoTiff->warnings) {
        description.warnings.push_back("GeoJP2: " + warning);
    }
    return true;
}

bool describeGmlText(std::string_view xml, Description& description) {
    // Most XML boxes hold other things (XMP, metadata): those are not parsed at all.
    if (xml.find("RectifiedGrid") == std::string_view::npos) {
        return false;
    }
    const GmlGridResult result = decodeGmlGrid(xml);
    if (!result.grid) {
        return false;
    }
    const GmlGrid& grid = *result.grid;
    for (const std::string& warning : grid.warnings) {
        description.warnings.push_back("GMLJP2: " + warning);
    }
    description.fields["gml"] = gmlGridFields(grid);
    std::optional<RasterSize> size;
    if (grid.low && grid.high) {
        const std::int64_t w = (*grid.high)[0] - (*grid.low)[0] + 1;
        const std::int64_t h = (*grid.high)[1] - (*grid.low)[1] + 1;
        if (w > 0 && h > 0 && w <= UINT32_MAX && h <= UINT32_MAX) {
            size = RasterSize{static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)};
        }
    }
    description.fields["georeferencing"] = georeferencingFields(georeferencingOf(grid), size);
    return true;
}

void describeGeoreferencing(std::span<const Box* const> rows, std::optional<RasterSize> size,
                            Description& description) {
    std::vector<std::string>& warnings = description.warnings;
    const std::map<const Box*, std::string> labels = firstLabelTexts(rows);
    const auto labelled = [&labels](const Box* box, std::string_view label) {
        const auto found = labels.find(box);
        return found != labels.end() && found->second == label;
    };
    const Box* geoJp2Box = nullptr;
    const Box* gmlBox = nullptr;
    for (const Box* box : rows) {
        if (box == nullptr) {
            continue;
        }
        if (const auto* uuid = dynamic_cast<const UuidBox*>(box);
            uuid != nullptr && uuid->isGeoTiff && geoJp2Box == nullptr) {
            geoJp2Box = box;
        } else if (box->type == kTypeXml && gmlBox == nullptr && box->parent != nullptr &&
                   labelled(box->parent, "gml.root-instance") &&
                   labelled(box->parent->parent, "gml.data")) {
            gmlBox = box;
        }
    }
    std::optional<GeoTiff> geoTiff;
    if (geoJp2Box != nullptr) {
        std::string why;
        const auto payload = payloadBytes(*geoJp2Box, kMaxDecodedPayload, why);
        if (!payload) {
            warnings.push_back("GeoJP2 " + why);
        } else if (payload->bytes.size() >= 16) {
            GeoTiffResult result = decodeGeoTiff(payload->bytes.subspan(16));
            if (result.fault) {
                warnings.push_back("GeoJP2: " + *result.fault);
            }
            geoTiff = std::move(result.geoTiff);
        }
    }
    std::optional<GmlGrid> grid;
    if (gmlBox != nullptr) {
        GmlGridResult result = decodeGmlGridInPlace(gmlBox->text());
        if (result.fault) {
            warnings.push_back("GMLJP2: " + *result.fault);
        }
        grid = std::move(result.grid);
    }
    if (!geoTiff && !grid) {
        return;
    }
    std::optional<Georeferencing> fromGeoTiff;
    std::optional<Georeferencing> fromGml;
    if (geoTiff) {
        fromGeoTiff = georeferencingOf(*geoTiff);
        for (const std::string& warning : geoTiff->warnings) {
            warnings.push_back("GeoJP2: " + warning);
        }
    }
    if (grid) {
        fromGml = georeferencingOf(*grid);
        for (const std::string& warning : grid->warnings) {
            warnings.push_back("GMLJP2: " + warning);
        }
    }
    Json fields = georeferencingFields(fromGeoTiff ? *fromGeoTiff : *fromGml, size);
    if (geoTiff) {
        fields["geoJp2"] = geoTiffFields(*geoTiff);
    }
    if (grid) {
        fields["gml"] = gmlGridFields(*grid);
        if (size && grid->low && grid->high) {
            const std::int64_t w = (*grid->high)[0] - (*grid->low)[0] + 1;
            const std::int64_t h = (*grid->high)[1] - (*grid->low)[1] + 1;
            if (w != size->width || h != size->height) {
                warnings.push_back("the GML grid envelope is " + std::to_string(w) + " x " +
                                   std::to_string(h) + ", the image " +
                                   std::to_string(size->width) + " x " +
                                   std::to_string(size->height));
            }
        }
    }
    if (fromGeoTiff && fromGml) {
        compareGeoreferencing(*fromGeoTiff, *fromGml, warnings);
    }
    description.fields["georeferencing"] = std::move(fields);
}

}  // namespace bq
