#include "cli/command_table.h"

#include "cli/cli_commands.h"

namespace bq::cli {

namespace {

constexpr unsigned kTextOptions = kOptText | kOptTextFile;

constexpr CommandSpec kCommands[] = {
    {"list", "list FILE|FOLDER... [--json] [-r] [--ext LIST] [--jobs N] [--quiet] [--shard K/N]",
     "Prints the rows in order after the association sizes are refreshed: "
     "INDEX<TAB>ID<TAB>DESCRIPTION<TAB>SIZE, or a JSON array with --json. With several files "
     "each row starts with the file's path and a tab, and --json prints one line a file: "
     "{\"file\": ..., \"rows\": [...]} or {\"file\": ..., \"error\": ...}.",
     1, kOptJson | kCollectionOptions, 0, runList, nullptr, true},
    {"info",
     "info FILE|FOLDER... [--json] [-r] [--ext LIST] [--jobs N] [--quiet] [--shard K/N] | info "
     "FILE INDEX [--json]",
     "Prints what a file says about its image (file type, JP2 header, codestream main header) with "
     "a line for each fault found, as key: value lines or JSON (one line a file with several "
     "files); with exactly two arguments the second being a row index, what that box holds.",
     1, kOptJson | kCollectionOptions, 0, runInfo, nullptr, true},
    {"check",
     "check FILE|FOLDER... [--json] [--all] [--profile FILE.toml]... [-r] [--ext LIST] [--jobs N] "
     "[--quiet] [--shard K/N]",
     "Checks each file against the JP2 and JPX rules, box by box and the codestream: one line "
     "a finding (FILE: SEVERITY: TEST: message [box @offset]) and FILE: valid or invalid, or "
     "a JSON object a file (one line each with several files); --all lists the tests that "
     "passed too; each --profile adds its rules (docs/profiles.md), their findings under "
     "profile:RULE. Exit status 1 when any file is invalid or unreadable.",
     1, kOptJson | kOptAll | kOptProfile | kCollectionOptions, 0, runCheck, nullptr, true},
    {"show", "show FILE INDEX",
     "Prints the text the content pane shows for row INDEX, bytes as they are.", 2, 0, 0, runShow},
    {"export", "export FILE INDEX OUT", "Writes the payload of row INDEX to OUT.", 3, 0, 0,
     runExport},
    {"import", "import FILE INDEX IN -o OUT",
     "Replaces the payload of row INDEX with the bytes of IN, then saves to OUT.", 3,
     kOptOutput | kOptYes, kOptOutput, runImport, editImport},
    {"add", "add FILE KIND [--at INDEX] [--text TEXT | --text-file F | --import F] -o OUT",
     "Adds a box of KIND (xml, label, asoc, geotiff, gml) as the Add dialog does, after row "
     "INDEX as if it were selected, fills it with the text or the bytes of F as the payload "
     "Load button does, then saves to OUT.",
     2, kOptOutput | kOptAt | kTextOptions | kOptImport | kOptYes, kOptOutput, runAdd, editAdd},
    {"edit", "edit FILE INDEX (--text TEXT | --text-file F) -o OUT",
     "Replaces the text of row INDEX as typing into the content pane does, then saves to OUT.", 2,
     kOptOutput | kTextOptions | kOptYes, kOptOutput, runEdit, editText},
    {"delete", "delete FILE INDEX [--yes] -o OUT",
     "Deletes row INDEX (with the boxes nested in it when --yes answers the question), then "
     "saves to OUT.",
     2, kOptOutput | kOptYes, kOptOutput, runDelete, editDelete},
    {"resolution",
     "resolution FILE [--capture H[xV]] [--display H[xV]] [--unit dpi|dpcm|ppm] "
     "[--remove capture|display|both] -o OUT",
     "Sets or removes the capture and display resolution in the JP2 header (H for both axes, "
     "HxV horizontal then vertical; dots per inch unless --unit says otherwise), then saves to "
     "OUT. Every other byte of the file is kept.",
     1, kOptOutput | kOptYes | kOptCapture | kOptDisplay | kOptUnit | kOptRemove, kOptOutput,
     runResolution, editResolution},
    {"icc", "icc FILE [--colr N] (--export OUT.icc | --import IN.icc -o OUT)",
     "Writes the ICC profile of the first colour box that has one (or 'colr' box N, "
     "0-based) to OUT.icc, or replaces the profile of colour box N (the first when "
     "none) with IN.icc after checking its header, then saves to OUT.",
     1, kOptOutput | kOptYes | kOptColr | kOptExport | kOptImport, 0, runIcc, editIcc, false,
     kOptImport},
    {"xmp", "xmp FILE [(--set-file F | --set-text T) -o OUT]",
     "Prints the XMP packet, or replaces it (adding an XMP box right after the JP2 header when "
     "there is none) with well-formed XML from F or T, then saves to OUT.",
     1, kOptOutput | kOptYes | kOptSetFile | kOptSetText, 0, runXmp, editXmp, false,
     kOptSetFile | kOptSetText},
    {"georef",
     "georef FILE (--from GEOTIFF | --world FILE.j2w --epsg CODE) [--geojp2] [--gml] -o OUT",
     "Replaces the file's georeferencing (its GeoJP2 boxes and GMLJP2 sets) with a GeoJP2 box, "
     "a 1 x 1 GeoTIFF carrying the georeferencing tags of GEOTIFF (read without its pixels) or "
     "of the world file in EPSG CODE, and with --gml a GMLJP2 set (--gml alone: the set "
     "without the box), right after the JP2 header; then saves to OUT.",
     1, kOptOutput | kOptYes | kOptFrom | kOptWorld | kOptEpsg | kOptGml | kOptGeoJp2, kOptOutput,
     runGeoref, editGeoref},
    {"undo", "undo",
     "A line of a run script: takes back the change of the line before (each undo one line "
     "further back).",
     1, 0, 0, nullptr, editUndo},
    {"redo", "redo", "A line of a run script: makes again the change an undo took back.", 1, 0, 0,
     nullptr, editRedo},
    {"run", "run FILE -o OUT SCRIPT",
     "Opens FILE once, runs the lines of SCRIPT (a file, or - for standard input) in order, "
     "and saves to OUT once. A line is a change without FILE and -o (import, add, edit, "
     "delete, resolution, icc --import, xmp --set-file/--set-text, georef), or undo or redo; "
     "blank lines and lines starting with # are skipped. A failing line stops the "
     "run and nothing is written.",
     2, kOptOutput | kOptYes, kOptOutput, runScript},
    {"save", "save FILE -o OUT",
     "Opens FILE and saves it unchanged to OUT. When \".jp2\" is added to OUT and a file of "
     "that name exists, --yes replaces it.",
     1, kOptOutput | kOptYes, kOptOutput, runSave},
};

constexpr std::string_view kSharedRules =
    "INDEX is the 0-based row index that 'list' prints. Saving follows the editor's rules\n"
    "(\".jp2\" is added to OUT unless its file name contains \".jp2\" or \".jpx\"); OUT may\n"
    "be FILE itself, which is then replaced whole. Exit status: 0 success, 1 failure (the\n"
    "editor's message on stderr), 2 usage error.\n"
    "\nCOLLECTION OPTIONS (list, info, check): a FOLDER gives its JPEG 2000 files; -r,\n"
    "--recursive goes into its folders too (links to folders are not followed); --ext\n"
    "jp2,jpx takes other extensions; --jobs N reads N files side by side (default: the\n"
    "number of processors), printing in the same order; --quiet hides the progress line\n"
    "and check's summary; --shard K/N takes share K of N of the files, by a hash of the\n"
    "path below the folder.\n";

}  // namespace

std::string_view sharedRules() {
    return kSharedRules;
}

std::span<const CommandSpec> commands() {
    return kCommands;
}

const CommandSpec* findCommand(std::string_view name) {
    for (const CommandSpec& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

void printOverview(std::FILE* out) {
    std::fputs(
        "usage: boxquill-cli COMMAND ARGUMENTS... [--help]\n"
        "       boxquill-cli --version\n\ncommands:\n",
        out);
    for (const CommandSpec& command : kCommands) {
        if (command.run == nullptr) {
            continue;  // a script line, not a command
        }
        std::fprintf(out, "  boxquill-cli %.*s\n", static_cast<int>(command.usage.size()),
                     command.usage.data());
    }
    std::fputc('\n', out);
    std::fwrite(sharedRules().data(), 1, sharedRules().size(), out);
}

}  // namespace bq::cli
