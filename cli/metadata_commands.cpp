// The commands that change what the JP2 header and the XMP box say: resolution, ICC profile
// and XMP packet, each through the editor's own model commands.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/output.h"
#include "ui/jp2_header_edit.h"
#include "ui/xmp_edit.h"

namespace bq::cli {

namespace {

// "H" for both axes, "HxV" horizontal then vertical, in `unit`. kExitOk with `change` set.
int resolutionValue(Session& session, std::string_view option, const std::string& text,
                    ResolutionUnit unit, ResolutionChange& change) {
    const std::size_t cross = text.find('x');
    const std::string_view all(text);
    const std::optional<double> horizontal = parseResolutionValue(all.substr(0, cross));
    const std::optional<double> vertical =
        cross == std::string::npos ? horizontal : parseResolutionValue(all.substr(cross + 1));
    if (!horizontal || !vertical) {
        session.report(std::string(option) + " takes H or HxV, positive numbers: '" + text + "'");
        return kExitUsage;
    }
    const std::optional<FittedResolution> fitted = fitResolutions(*horizontal, *vertical, unit);
    if (!fitted) {
        return session.refuse(std::string(option) + " " + text +
                              " is beyond what a resolution box can hold");
    }
    change = fitted->change;
    if (const std::optional<ResolutionAxis>& axis = fitted->inexact) {
        session.report(
            "note: " + std::string(option) + " " + text +
            " is stored as the nearest the fields hold: " + std::to_string(axis->numerator) + "/" +
            std::to_string(axis->denominator) + " x 10^" + std::to_string(axis->exponent) + " = " +
            std::to_string(axis->perMetre().value_or(0)) + " pixels per metre");
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

// The exit code of an App command: a failure's message has gone through showError already.
int exitCodeOf(bool done) {
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
    return exitCodeOf(setResolution(session.app, capture, display));
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
        return writeProfileFile(*args.exportFile, *profile, why) ? kExitOk : session.refuse(why);
    }
    const std::optional<std::string> bytes =
        inputText(session, readProfileFile(*args.importFile), *args.importFile);
    if (!bytes) {
        return kExitFailure;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(bytes->data());
    return exitCodeOf(importColourProfile(session.app, colr, std::span(first, bytes->size())));
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
        // A packet is text: refused at its first NUL, so a stream of zeros is not read on.
        packet = inputText(session, readTextInput(*args.setFile, kMaxHeldPayload), *args.setFile);
        if (!packet) {
            return kExitFailure;
        }
    }
    return exitCodeOf(setXmpPacket(session.app, *packet));
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
