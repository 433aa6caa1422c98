#pragma once
// The file's georeferencing replaced as a whole: its GeoJP2 boxes and GMLJP2 sets removed,
// and new ones written from the georeferencing tags of a GeoTIFF or a world file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/geotiff_tags.h"
#include "ui/app.h"

namespace bq {

// The georeferencing tags of the GeoTIFF (or BigTIFF) at `path`, read without its pixels. None,
// with `why` set, when it is not a readable GeoTIFF.
std::optional<GeoTiffTags> geoTiffFileTags(const std::string& path, std::string& why);

// Whether the file at `path` starts as a TIFF or BigTIFF does; what is chosen as a source of
// georeferencing is either that or a world file.
bool isTiffFile(const std::string& path);

// An EPSG code as typed: a whole number from 1 to 32766, the codes a GeoTIFF key can hold,
// spaces around it allowed.
std::optional<int> parseEpsgCode(std::string_view text);

// The tags for the world file at `path` in the coordinate system of EPSG `epsg`. None, with
// `why` set, when it cannot be read or is not a world file.
std::optional<GeoTiffTags> worldFileTags(const std::string& path, int epsg, std::string& why);

// The tags of a source of georeferencing: the world file at `path` in EPSG `worldEpsg` when
// that is given, else the GeoTIFF at `path`, which names its own coordinate system.
std::optional<GeoTiffTags> georeferencingTags(const std::string& path, std::optional<int> worldEpsg,
                                              std::string& why);

// The rows that carry georeferencing: GeoTIFF uuid boxes, and associations whose first label
// is "gml.data" (each standing for itself and everything nested in it). In row order.
std::vector<int> georeferencingRows(const BoxList& boxes);

struct GeoreferencingBoxes {
    bool geoJp2 = true;  // a GeoJP2 box: a 1 x 1 GeoTIFF carrying `tags`
    bool gml = false;    // a GMLJP2 set whose grid says what `tags` say
};

// Removes every georeferencing box, then puts the chosen ones right after the JP2 header, the
// GeoJP2 box first, and selects the first of them. A GMLJP2 set needs an EPSG code, a pixel
// size and the image size from the JP2 header. False, after showError and with the document
// unchanged, when neither kind is chosen or the boxes cannot be made.
bool setGeoreferencing(App& app, const GeoTiffTags& tags, GeoreferencingBoxes which);

}  // namespace bq
