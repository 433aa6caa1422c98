#include "validate/profile_keys.h"

#include <algorithm>

#include "codestream/marker_table.h"

namespace bq {

namespace {

constexpr KeyType N = KeyType::Number;
constexpr KeyType S = KeyType::String;
constexpr KeyType B = KeyType::Boolean;
constexpr KeyType A = KeyType::Any;
constexpr KeySource I = KeySource::Info;
constexpr KeySource F = KeySource::Fact;

// A segment standing for any box type, or any marker name, in the facts' keys.
constexpr std::string_view kAnyBoxType = "<type>";
constexpr std::string_view kAnyMarker = "<marker>";

// Kept in step with describe/ by the test that walks `info --json` over real files.
std::vector<KnownKey> makeKnownKeys() {
    std::vector<KnownKey> keys = {
        {"boxes", N, I},
        {"fileType.brand", S, I},
        {"fileType.minorVersion", N, I},
        {"fileType.compatibility[]", S, I},
        {"jp2Header.boxes[]", S, I},
        {"jp2Header.imageHeader.height", N, I},
        {"jp2Header.imageHeader.width", N, I},
        {"jp2Header.imageHeader.components", N, I},
        {"jp2Header.imageHeader.bpc", N, I},
        {"jp2Header.imageHeader.bitDepth", N, I},
        {"jp2Header.imageHeader.signed", B, I},
        {"jp2Header.imageHeader.compression", N, I},
        {"jp2Header.imageHeader.colourspaceUnknown", N, I},
        {"jp2Header.imageHeader.intellectualProperty", N, I},
        {"jp2Header.bitsPerComponent[].bitDepth", N, I},
        {"jp2Header.bitsPerComponent[].signed", B, I},
        {"jp2Header.colourSpecs[].method", N, I},
        {"jp2Header.colourSpecs[].methodName", S, I},
        {"jp2Header.colourSpecs[].precedence", N, I},
        {"jp2Header.colourSpecs[].approximation", N, I},
        {"jp2Header.colourSpecs[].enumeratedColourSpace", N, I},
        {"jp2Header.colourSpecs[].colourSpace", S, I},
        {"jp2Header.colourSpecs[].iccProfile.length", N, I},
        {"jp2Header.colourSpecs[].iccProfile.size", N, I},
        {"jp2Header.colourSpecs[].iccProfile.version", S, I},
        {"jp2Header.colourSpecs[].iccProfile.class", S, I},
        {"jp2Header.colourSpecs[].iccProfile.className", S, I},
        {"jp2Header.colourSpecs[].iccProfile.colourSpace", S, I},
        {"jp2Header.colourSpecs[].iccProfile.connectionSpace", S, I},
        {"jp2Header.colourSpecs[].iccProfile.description", S, I},
        {"jp2Header.colourSpecs[].vendorUuid", S, I},
        {"jp2Header.palette.entries", N, I},
        {"jp2Header.palette.columns", N, I},
        {"jp2Header.palette.columnDepths[].bitDepth", N, I},
        {"jp2Header.palette.columnDepths[].signed", B, I},
        {"jp2Header.componentMapping[].component", N, I},
        {"jp2Header.componentMapping[].mappingType", S, I},
        {"jp2Header.componentMapping[].paletteColumn", N, I},
        {"jp2Header.channelDefinitions[].channel", N, I},
        {"jp2Header.channelDefinitions[].type", N, I},
        {"jp2Header.channelDefinitions[].typeName", S, I},
        {"jp2Header.channelDefinitions[].association", N, I},
        {"codestreams", N, I},
        {"codestream.width", N, I},
        {"codestream.height", N, I},
        {"codestream.rsiz", N, I},
        {"codestream.capabilities", S, I},
        {"codestream.imageOffset.x", N, I},
        {"codestream.imageOffset.y", N, I},
        {"codestream.tileSize.width", N, I},
        {"codestream.tileSize.height", N, I},
        {"codestream.tileOffset.x", N, I},
        {"codestream.tileOffset.y", N, I},
        {"codestream.components[].bitDepth", N, I},
        {"codestream.components[].signed", B, I},
        {"codestream.components[].xSubsampling", N, I},
        {"codestream.components[].ySubsampling", N, I},
        {"codestream.tilesAcross", N, I},
        {"codestream.tilesDown", N, I},
        {"codestream.tiles", N, I},
        {"codestream.tileParts", N, I},
        {"codestream.coding.progressionOrder", S, I},
        {"codestream.coding.layers", N, I},
        {"codestream.coding.multipleComponentTransform", N, I},
        {"codestream.coding.decompositionLevels", N, I},
        {"codestream.coding.codeBlockWidth", N, I},
        {"codestream.coding.codeBlockHeight", N, I},
        {"codestream.coding.codeBlockStyle", S, I},
        {"codestream.coding.codeBlockStyleFlags.bypass", B, I},
        {"codestream.coding.codeBlockStyleFlags.reset", B, I},
        {"codestream.coding.codeBlockStyleFlags.termination", B, I},
        {"codestream.coding.codeBlockStyleFlags.verticallyCausal", B, I},
        {"codestream.coding.codeBlockStyleFlags.predictableTermination", B, I},
        {"codestream.coding.codeBlockStyleFlags.segmentationSymbols", B, I},
        {"codestream.coding.codeBlockStyleFlags.highThroughput", B, I},
        {"codestream.coding.transform", S, I},
        {"codestream.coding.sop", B, I},
        {"codestream.coding.eph", B, I},
        {"codestream.coding.precincts[].width", N, I},
        {"codestream.coding.precincts[].height", N, I},
        {"codestream.quantization.style", S, I},
        {"codestream.quantization.guardBits", N, I},
        {"codestream.markers[]", S, I},
        {"codestream.comments[].registration", N, I},
        {"codestream.comments[].length", N, I},
        {"codestream.comments[].text", S, I},
        {"codestream.mainHeaderLength", N, I},
        {"georeferencing.source", S, I},
        {"georeferencing.epsg", N, I},
        {"georeferencing.geoTransform[]", N, I},
        {"georeferencing.origin.x", N, I},
        {"georeferencing.origin.y", N, I},
        {"georeferencing.pixelSize.x", N, I},
        {"georeferencing.pixelSize.y", N, I},
        {"georeferencing.rasterType", S, I},
        {"georeferencing.geoJp2.byteOrder", S, I},
        {"georeferencing.geoJp2.width", N, I},
        {"georeferencing.geoJp2.height", N, I},
        {"georeferencing.geoJp2.pixelScale[]", N, I},
        {"georeferencing.geoJp2.tiepoints[]", N, I},
        {"georeferencing.geoJp2.transformation[]", N, I},
        {"georeferencing.geoJp2.keyDirectoryVersion", N, I},
        {"georeferencing.geoJp2.keyRevision", S, I},
        {"georeferencing.geoJp2.keys[].id", N, I},
        {"georeferencing.geoJp2.keys[].name", S, I},
        {"georeferencing.geoJp2.keys[].value", A, I},
        {"georeferencing.geoJp2.keys[].value[]", N, I},
        {"georeferencing.geoJp2.keys[].meaning", S, I},
        {"georeferencing.gml.version", S, I},
        {"georeferencing.gml.srsName", S, I},
        {"georeferencing.gml.epsg", N, I},
        {"georeferencing.gml.axesSwapped", B, I},
        {"georeferencing.gml.gridEnvelope.low[]", N, I},
        {"georeferencing.gml.gridEnvelope.high[]", N, I},
        {"georeferencing.gml.origin[]", N, I},
        {"georeferencing.gml.offsetVector1[]", N, I},
        {"georeferencing.gml.offsetVector2[]", N, I},
        {"warnings[]", S, I},
        // The engine's facts.
        {"boxes.<type>", N, F},
        {"mainHeader.markers.<marker>", N, F},
        {"tileParts.markers.<marker>", N, F},
        {"tileParts.count", N, F},
        {"tileParts.perTile.min", N, F},
        {"tileParts.perTile.max", N, F},
        {"icc.description", S, F},
    };
    for (const char* corner : {"upperLeft", "lowerLeft", "upperRight", "lowerRight", "center"}) {
        keys.push_back({std::string("georeferencing.corners.") + corner + "[]", N, I});
    }
    for (const char* kind : {"captureResolution", "displayResolution"}) {
        for (const char* axis : {"vertical", "horizontal"}) {
            for (const char* field :
                 {"numerator", "denominator", "exponent", "pixelsPerMetre", "pixelsPerInch"}) {
                keys.push_back({std::string("jp2Header.") + kind + "." + axis + "." + field, N, I});
            }
        }
    }
    return keys;
}

bool isMarkerName(std::string_view name) {
    return std::any_of(kMarkerTable.begin(), kMarkerTable.end(), [name](const MarkerRow& row) {
        return name.size() == 3 && name[0] >= 'A' && name[0] <= 'Z' &&
               name == std::string_view(row.name);
    });
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Splits "a.b[2].c" into its steps; none with `error` set for anything else.
std::optional<std::vector<KeyStep>> splitPath(std::string_view text, std::string& error) {
    constexpr std::size_t kMaxPathLength = 256;
    if (text.empty() || text.size() > kMaxPathLength) {
        error = "a key path is 1 to 256 characters long";
        return std::nullopt;
    }
    std::vector<KeyStep> steps;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        KeyStep step;
        while (pos < text.size() && isNameChar(text[pos])) {
            step.key += text[pos++];
        }
        if (step.key.empty()) {
            error = "key path '" + std::string(text) + "' has an empty name at character " +
                    std::to_string(pos + 1);
            return std::nullopt;
        }
        if (pos < text.size() && text[pos] == '[') {
            const std::size_t close = text.find(']', pos);
            const std::string_view inside = close == std::string_view::npos
                                                ? text.substr(pos + 1)
                                                : text.substr(pos + 1, close - pos - 1);
            if (close == std::string_view::npos || inside.empty() || inside.size() > 6) {
                error = "key path '" + std::string(text) + "': an index is [N], [*] or [?]";
                return std::nullopt;
            }
            if (inside == "*") {
                step.index = KeyStep::Index::Every;
            } else if (inside == "?") {
                step.index = KeyStep::Index::Some;
            } else if (std::all_of(inside.begin(), inside.end(),
                                   [](char c) { return c >= '0' && c <= '9'; })) {
                step.index = KeyStep::Index::At;
                step.at = std::stoul(std::string(inside));
            } else {
                error = "key path '" + std::string(text) + "': an index is [N], [*] or [?]";
                return std::nullopt;
            }
            pos = close + 1;
        }
        steps.push_back(std::move(step));
        if (pos == text.size()) {
            break;
        }
        if (text[pos] != '.') {
            error = "key path '" + std::string(text) + "' has '" + text[pos] + "' at character " +
                    std::to_string(pos + 1);
            return std::nullopt;
        }
        ++pos;
    }
    return steps;
}

// Whether the steps fit a pattern's segments ("precincts[]" takes an index, "<type>" any box
// type).
bool fits(const std::vector<KeyStep>& steps, std::string_view pattern) {
    std::size_t i = 0;
    std::size_t pos = 0;
    while (pos <= pattern.size()) {
        std::size_t end = pattern.find('.', pos);
        if (end == std::string_view::npos) {
            end = pattern.size();
        }
        std::string_view segment = pattern.substr(pos, end - pos);
        const bool indexed = segment.ends_with("[]");
        if (indexed) {
            segment.remove_suffix(2);
        }
        if (i >= steps.size() || indexed != (steps[i].index != KeyStep::Index::None)) {
            return false;
        }
        const std::string& key = steps[i].key;
        const bool ok = segment == kAnyBoxType  ? key.size() <= 4
                        : segment == kAnyMarker ? isMarkerName(key)
                                                : segment == key;
        if (!ok) {
            return false;
        }
        ++i;
        pos = end + 1;
    }
    return i == steps.size();
}

}  // namespace

bool KeyPath::isList() const {
    return std::any_of(steps.begin(), steps.end(), [](const KeyStep& step) {
        return step.index == KeyStep::Index::Every || step.index == KeyStep::Index::Some;
    });
}

bool KeyPath::anyElement() const {
    return std::any_of(steps.begin(), steps.end(),
                       [](const KeyStep& step) { return step.index == KeyStep::Index::Some; });
}

const std::vector<KnownKey>& knownKeys() {
    static const std::vector<KnownKey> keys = makeKnownKeys();
    return keys;
}

const KnownKey* findKnownKey(std::string_view concrete) {
    std::string error;
    const auto steps = splitPath(concrete, error);
    if (!steps) {
        return nullptr;
    }
    for (const KnownKey& key : knownKeys()) {
        if (fits(*steps, key.pattern)) {
            return &key;
        }
    }
    return nullptr;
}

std::optional<KeyPath> parseKeyPath(std::string_view text, std::string& error) {
    auto steps = splitPath(text, error);
    if (!steps) {
        return std::nullopt;
    }
    const auto lists = std::count_if(steps->begin(), steps->end(), [](const KeyStep& step) {
        return step.index == KeyStep::Index::Every || step.index == KeyStep::Index::Some;
    });
    if (lists > 1) {
        error = "key path '" + std::string(text) + "' has more than one [*] or [?]";
        return std::nullopt;
    }
    const KnownKey* known = findKnownKey(text);
    if (known == nullptr) {
        error = "unknown key path '" + std::string(text) + "' (docs/profiles.md lists them)";
        return std::nullopt;
    }
    KeyPath path;
    path.text = std::string(text);
    path.steps = std::move(*steps);
    path.type = known->type;
    path.source = known->source;
    return path;
}

}  // namespace bq
