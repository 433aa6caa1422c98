// The commands that change what the JP2 header and the XMP box say: resolution, ICC profile
// and XMP packet, each through the editor's own model commands.

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/output.h"
#include "formats/resolution_fraction.h"
#include "stream/replace_file.h"
#include "ui/jp2_header_edit.h"
#include "ui/save_document.h"
#include "ui/xmp_edit.h"

namespace bq::cli {

namespace {

// The largest ICC profile taken from a file.
constexpr std::uint64_t kMaxProfile = 16u << 20;

std::optional<double> parsePositive(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0)) {
        return std::nullopt;
    }
    return value;
}

// "H" for both axes, "HxV" horizontal then vertical, in `unit`. kExitOk with `change` set.
int resolutionValue(Session& session, std::string_view option, const std::string& text,
                    ResolutionUnit unit, ResolutionChange& change) {
    const std::size_t cross = text.find('x');
    const std::string_view all(text);
    const std::optional<double> horizontal = parsePositive(all.substr(0, cross));
    const std::optional<double> vertical =
        cross == std::string::npos ? horizontal : parsePositive(all.substr(cross + 1));
    if (!horizontal || !vertical) {
        session.report(std::string(option) + " takes H or HxV, positive numbers: '" + text + "'");
        return kExitUsage;
    }
    const std::optional<ResolutionFit> h = fitResolution(*horizontal, unit);
    const std::optional<ResolutionFit> v = fitResolution(*vertical, unit);
    if (!h || !v) {
        return session.refuse(std::string(option) + " " + text +
                              " is beyond what a resolution box can hold");
    }
    change.action = ResolutionChange::Action::Set;
    change.horizontal = h->axis;
    change.vertical = v->axis;
    for (const ResolutionFit* fit : {&*h, &*v}) {
        if (!fit->exact) {
            const double stored = fit->axis.perMetre().value_or(0);
            session.report("note: " + std::string(option) + " " + text +
                           " is stored as the nearest the fields hold: " +
                           std::to_string(fit->axis.numerator) + "/" +
                           std::to_string(fit->axis.denominator) + " x 10^" +
                           std::to_string(fit->axis.exponent) + " = " + std::to_string(stored) +
                           " pixels per metre");
            break;
        }
    }
    return kExitOk;
}

// Writes bytes to `path` through the one replacement routine.
int writeBytesTo(Session& session, const std::string& path,
                 const std::vector<std::uint8_t>& bytes) {
    const ReplaceResult written = replaceFile(path, [&](FileStream& stream) {
        if (!bytes.empty()) {
            stream.writeBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        }
        return stream.good();
    });
    if (written.outcome != ReplaceOutcome::Written) {
        return session.refuse(replaceFailureMessage(written.outcome));
    }
    return kExitOk;
}

std::optional<std::size_t> colrArgument(Session& session, const CliArgs& args, bool& bad) {
    bad = false;
    if (!args.colr) {
        return std::nullopt;
    }
    const std::optional<int> index = parseIndex(*args.colr);
    if (!index) {
        session.report("--colr takes a 0-based number: '" + *args.colr + "'");
        bad = true;
        return std::nullopt;
    }
    return static_cast<std::size_t>(*index);
}

// The change left when an App command failed: its message went through showError.
int changed(bool done) {
    return done ? kExitOk : kExitFailure;
}

}  // namespace

int editResolution(Session& session, const CliArgs& args) {
    ResolutionUnit unit = ResolutionUnit::PerInch;
    if (args.unit) {
        const std::optional<ResolutionUnit> parsed = parseResolutionUnit(*args.unit);
        if (!parsed) {
            session.report("--unit takes dpi, dpcm or ppm: '" + *args.unit + "'");
            return kExitUsage;
        }
        unit = *parsed;
    }
    ResolutionChange capture;
    ResolutionChange display;
    if (args.remove) {
        const std::string& which = *args.remove;
        if (which != "capture" && which != "display" && which != "both") {
            session.report("--remove takes capture, display or both: '" + which + "'");
            return kExitUsage;
        }
        if (which != "display") {
            capture.action = ResolutionChange::Action::Remove;
        }
        if (which != "capture") {
            display.action = ResolutionChange::Action::Remove;
        }
    }
    if ((args.capture && capture.action == ResolutionChange::Action::Remove) ||
        (args.display && display.action == ResolutionChange::Action::Remove)) {
        session.report("a resolution can't be both set and removed");
        return kExitUsage;
    }
    if (!args.capture && !args.display && !args.remove) {
        session.report("give --capture, --display or --remove");
        return kExitUsage;
    }
    if (args.capture) {
        if (const int code = resolutionValue(session, "--capture", *args.capture, unit, capture);
            code != kExitOk) {
            return code;
        }
    }
    if (args.display) {
        if (const int code = resolutionValue(session, "--display", *args.display, unit, display);
            code != kExitOk) {
            return code;
        }
    }
    return changed(setResolution(session.app, capture, display));
}

int editIcc(Session& session, const CliArgs& args) {
    bool bad = false;
    const std::optional<std::size_t> colr = colrArgument(session, args, bad);
    if (bad) {
        return kExitUsage;
    }
    if (int{args.exportFile.has_value()} + int{args.importFile.has_value()} != 1) {
        session.report("give exactly one of --export OUT.icc and --import IN.icc");
        return kExitUsage;
    }
    if (args.exportFile) {
        std::string why;
        const std::optional<std::vector<std::uint8_t>> profile =
            colourProfile(session.boxes, colr, why);
        if (!profile) {
            return session.refuse(why);
        }
        return writeBytesTo(session, *args.exportFile, *profile);
    }
    const std::optional<std::string> bytes = readWholeFile(session, *args.importFile, kMaxProfile);
    if (!bytes) {
        return kExitFailure;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(bytes->data());
    return changed(importColourProfile(session.app, colr, std::span(first, bytes->size())));
}

int editXmp(Session& session, const CliArgs& args) {
    if (args.setFile && args.setText) {
        session.report("give at most one of --set-file and --set-text");
        return kExitUsage;
    }
    if (!args.setFile && !args.setText) {
        std::string why;
        const std::optional<std::string> packet = xmpPacket(session.boxes, why);
        if (!packet) {
            return session.refuse(why);
        }
        writeStoredText(*packet);
        return kExitOk;
    }
    std::optional<std::string> packet = args.setText;
    if (args.setFile) {
        packet = readWholeFile(session, *args.setFile);
        if (!packet) {
            return kExitFailure;
        }
    }
    return changed(setXmpPacket(session.app, *packet));
}

int runResolution(const CliArgs& args) {
    return openThenChange(args, editResolution);
}

int runIcc(const CliArgs& args) {
    if (args.importFile && !args.output) {
        printError("'icc --import' needs -o");
        return kExitUsage;
    }
    if (args.exportFile && args.output) {
        printError("'icc --export' writes the profile only: it takes no -o");
        return kExitUsage;
    }
    return openThenChange(args, editIcc);
}

int runXmp(const CliArgs& args) {
    const bool sets = args.setFile || args.setText;
    if (sets != args.output.has_value()) {
        printError(sets ? "'xmp --set-file/--set-text' needs -o"
                        : "'xmp' without a new packet takes no -o");
        return kExitUsage;
    }
    return openThenChange(args, editXmp);
}

}  // namespace bq::cli
