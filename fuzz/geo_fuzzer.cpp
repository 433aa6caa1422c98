// Arbitrary bytes as the TIFF of a GeoJP2 box and as the XML of a GMLJP2 root instance, each
// described as `info FILE INDEX` prints it, in text and in JSON; and as a whole GeoTIFF file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "box/uuid_box.h"
#include "describe/description.h"
#include "describe/georeferencing.h"
#include "formats/geotiff_tags.h"

namespace {

void print(const bq::Description& description) {
    const auto json = bq::descriptionJson(description);
    volatile std::size_t sink =
        bq::descriptionText(description).size() +
        json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).size();
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> payload(bq::kGeoTiffUuid.begin(), bq::kGeoTiffUuid.end());
    payload.insert(payload.end(), data, data + size);
    bq::Description geoJp2;
    bq::describeGeoJp2Payload(payload, geoJp2);
    print(geoJp2);
    bq::Description gml;
    bq::describeGmlText(std::string_view(reinterpret_cast<const char*>(data), size), gml);
    print(gml);
    const auto read = [data, size](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (offset > size || out.size() > size - offset) {
            return false;
        }
        std::copy_n(data + offset, out.size(), out.begin());
        return true;
    };
    bq::readGeoTiffTags(read, size);
    return 0;
}
