#include <string>

#include "formats/geotiff.h"
#include "formats/geotiff_tags.h"
#include "formats/tiff_directory.h"

namespace bq {

namespace {

GeoTiffTagsResult faulted(std::string fault) {
    return {std::nullopt, std::move(fault)};
}

}  // namespace

GeoTiffTagsResult readGeoTiffTags(const ReadAt& read, std::uint64_t fileSize) {
    TiffDirectoryResult result = readTiffDirectory(read, fileSize, kGeoTiffTags);
    if (!result.directory) {
        return faulted(result.fault.value_or(""));
    }
    const TiffDirectory& directory = *result.directory;
    GeoTiffTags tags;
    tags.pixelScale = directory.doubles(kTiffTagPixelScale);
    tags.tiepoints = directory.doubles(kTiffTagTiepoint);
    tags.transformation = directory.doubles(kTiffTagTransformation);
    tags.keyDirectory = directory.shorts(kTiffTagGeoKeyDirectory);
    tags.doubleParams = directory.doubles(kTiffTagGeoDoubleParams);
    if (const TiffField* ascii = directory.find(kTiffTagGeoAsciiParams)) {
        tags.asciiParams.assign(ascii->values.begin(), ascii->values.end());
        if (!tags.asciiParams.empty() && tags.asciiParams.back() == '\0') {
            tags.asciiParams.pop_back();
        }
    }
    if (tags.keyDirectory.empty()) {
        return faulted("the file has no GeoKey directory: it is not a GeoTIFF");
    }
    if (tags.pixelScale.empty() && tags.tiepoints.empty() && tags.transformation.empty()) {
        return faulted(
            "the file has no pixel scale, tiepoint or transformation tag: nothing places its "
            "pixels on the Earth");
    }
    return {std::move(tags), std::nullopt};
}

}  // namespace bq
