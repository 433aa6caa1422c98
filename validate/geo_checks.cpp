// Georeferencing: the GMLJP2 root instance must be well-formed GML, and a GeoJP2 box and a
// GMLJP2 set in one file should put the image in the same place (readers differ in which
// they prefer, so a disagreement moves the image depending on the reader).

#include <string>
#include <string_view>

#include "describe/georeferencing.h"
#include "formats/geotiff.h"
#include "formats/gml_grid.h"
#include "formats/xml_check.h"
#include "validate/check_groups.h"

namespace bq {

void checkGeoreferencing(ByteStream& stream, const GeoBoxes& geo, Findings& findings) {
    std::optional<Georeferencing> gml;
    if (geo.gmlRootInstance) {
        const BoxAt& box = *geo.gmlRootInstance;
        if (const auto payload = readPayload(stream, box, "gmlRootInstanceIsChecked", findings)) {
            const std::string_view text = xmlTextOf(*payload);
            const std::string problem = xmlProblem(text);
            if (findings.error("gmlRootInstanceIsWellformed", problem.empty(), problem, box.path,
                               box.offset)) {
                const GmlGridResult grid = decodeGmlGrid(text);
                findings.warning("gmlRootInstanceHasGrid", grid.grid.has_value(),
                                 "no georeferencing read: " + grid.fault.value_or("no grid"),
                                 box.path, box.offset);
                if (grid.grid) {
                    gml = georeferencingOf(*grid.grid);
                }
            }
        }
    }
    if (!gml || !geo.geoJp2) {
        return;
    }
    const BoxAt& box = *geo.geoJp2;
    const auto payload = readPayload(stream, box, "geoJp2IsChecked", findings);
    if (!payload || payload->size() < kGeoJp2Identifier.size()) {
        return;
    }
    const GeoTiffResult tiff = decodeGeoTiff(std::span(*payload).subspan(kGeoJp2Identifier.size()));
    if (!tiff.geoTiff) {
        return;
    }
    std::vector<std::string> differences;
    compareGeoreferencing(georeferencingOf(*tiff.geoTiff), *gml, differences);
    std::string message;
    for (const std::string& line : differences) {
        message += (message.empty() ? "" : "; ") + line;
    }
    findings.warning("geoJp2AgreesWithGmlJp2", differences.empty(), message, box.path, box.offset);
}

}  // namespace bq
