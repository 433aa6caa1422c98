// georef: the file's georeferencing replaced from a GeoTIFF's tags or a world file.

#include <string>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "ui/georef_edit.h"

namespace bq::cli {

int editGeoref(Session& session, const CliArgs& args) {
    if (args.from.has_value() == args.world.has_value()) {
        session.report("give exactly one of --from GEOTIFF and --world FILE.j2w");
        return kExitUsage;
    }
    if (args.world.has_value() != args.epsg.has_value()) {
        session.report(args.world
                           ? "--world needs --epsg CODE: a world file names no coordinate system"
                           : "--epsg goes with --world: a GeoTIFF names its own coordinate system");
        return kExitUsage;
    }
    std::optional<int> epsg;
    if (args.epsg) {
        epsg = parseEpsgCode(*args.epsg);
        if (!epsg) {
            session.report("--epsg takes an EPSG code from 1 to 32766: '" + *args.epsg + "'");
            return kExitUsage;
        }
    }
    const std::string& path = args.from ? *args.from : *args.world;
    std::string why;
    const std::optional<GeoTiffTags> tags = georeferencingTags(path, epsg, why);
    if (!tags) {
        return session.refuse(
            (args.from ? "can't take the georeferencing of '" : "can't read the world file '") +
            path + "': " + why);
    }
    // A GeoJP2 box unless only GML was asked for.
    const GeoreferencingBoxes which{args.geoJp2 || !args.gml, args.gml};
    return setGeoreferencing(session.app, *tags, which) ? kExitOk : kExitFailure;
}

int runGeoref(const CliArgs& args) {
    return openThenChange(args, editGeoref);
}

}  // namespace bq::cli
