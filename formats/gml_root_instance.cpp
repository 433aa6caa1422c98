#include "formats/gml_root_instance.h"

#include <charconv>
#include <utility>

#include "formats/geo_transform.h"
#include "formats/gml_grid.h"

namespace bq {

namespace {

// The shortest text that reads back as the same double.
std::string number(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string pair(std::array<double, 2> xy, bool swap) {
    if (swap) {
        std::swap(xy[0], xy[1]);
    }
    return number(xy[0]) + " " + number(xy[1]);
}

}  // namespace

std::string gmlRootInstance(const std::array<double, 6>& gt, int epsg, std::uint32_t width,
                            std::uint32_t height) {
    // The URN names EPSG's axis order, which for a projected system may be northing first;
    // without EPSG's tables only the geographic codes' order is known here. Other codes get
    // "EPSG:N", which readers take as x, y.
    const bool swap = isGeographicEpsg(epsg);
    const std::string srs = (swap ? "urn:ogc:def:crs:EPSG::" : "EPSG:") + std::to_string(epsg);
    // The grid's origin is the centre of the first pixel.
    const std::array<double, 6> centred = centreFromCorner(gt);
    const std::array<double, 2> origin = {centred[0], centred[3]};
    const std::string high = std::to_string(width > 0 ? width - 1 : 0) + " " +
                             std::to_string(height > 0 ? height - 1 : 0);
    std::string xml;
    xml +=
        "<gml:FeatureCollection\r\n"
        "   xmlns:gml=\"http://www.opengis.net/gml\"\r\n"
        "   xmlns:xlink=\"http://www.w3.org/1999/xlink\"\r\n"
        "   xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
        "   xsi:schemaLocation=\"http://www.opengis.net/gml "
        "http://schemas.opengis.net/gml/3.1.1/profiles/gmlJP2Profile/1.0.0/"
        "gmlJP2Profile.xsd\">\r\n"
        "  <gml:boundedBy>\r\n"
        "    <gml:Null>withheld</gml:Null>\r\n"
        "  </gml:boundedBy>\r\n"
        "  <gml:featureMember>\r\n"
        "    <gml:FeatureCollection>\r\n"
        "      <gml:featureMember>\r\n"
        "        <gml:RectifiedGridCoverage dimension=\"2\" gml:id=\"RGC0001\">\r\n"
        "          <gml:rectifiedGridDomain>\r\n"
        "            <gml:RectifiedGrid dimension=\"2\">\r\n"
        "              <gml:limits>\r\n"
        "                <gml:GridEnvelope>\r\n"
        "                  <gml:low>0 0</gml:low>\r\n"
        "                  <gml:high>";
    xml += high;
    xml +=
        "</gml:high>\r\n"
        "                </gml:GridEnvelope>\r\n"
        "              </gml:limits>\r\n"
        "              <gml:axisName>x</gml:axisName>\r\n"
        "              <gml:axisName>y</gml:axisName>\r\n"
        "              <gml:origin>\r\n"
        "                <gml:Point gml:id=\"P0001\" srsName=\"";
    xml += srs;
    xml +=
        "\">\r\n"
        "                  <gml:pos>";
    xml += pair(origin, swap);
    xml +=
        "</gml:pos>\r\n"
        "                </gml:Point>\r\n"
        "              </gml:origin>\r\n";
    for (const std::array<double, 2> vector :
         {std::array{gt[1], gt[4]}, std::array{gt[2], gt[5]}}) {
        xml += "              <gml:offsetVector srsName=\"";
        xml += srs;
        xml += "\">";
        xml += pair(vector, swap);
        xml += "</gml:offsetVector>\r\n";
    }
    xml +=
        "            </gml:RectifiedGrid>\r\n"
        "          </gml:rectifiedGridDomain>\r\n"
        "          <gml:rangeSet>\r\n"
        "            <gml:File>\r\n"
        "              <gml:fileName>gmljp2://codestream/0</gml:fileName>\r\n"
        "              <gml:fileStructure>Record Interleaved</gml:fileStructure>\r\n"
        "            </gml:File>\r\n"
        "          </gml:rangeSet>\r\n"
        "        </gml:RectifiedGridCoverage>\r\n"
        "      </gml:featureMember>\r\n"
        "    </gml:FeatureCollection>\r\n"
        "  </gml:featureMember>\r\n"
        "</gml:FeatureCollection>\r\n";
    return xml;
}

}  // namespace bq
