// Crafted inputs, one row each: a shell line that makes the input and runs boxquill-cli on
// it, then the exit code and a piece of the message expected. Every row also finds the
// sample it started from unchanged, and no file written that the command did not promise.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_run.h"
#include "tests/ui/test_files.h"

namespace bq::test {
namespace {

struct CraftedCase {
    const char* name;
    // Run by sh in a fresh folder holding in.jp2 (a copy of the tiled sample); $CLI is the
    // program. Only o.jp2 (and what the row names in `writes`) may appear.
    const char* shell;
    int exitCode;
    const char* message;  // expected in stderr (stdout when the row exits 0)
    const char* writes = "";
};

// A 132-byte RGB display profile: the header's size field, 'acsp' and no tags.
#define PROFILE                                                                           \
    "{ head -c 3 /dev/zero; printf '\\204'; head -c 8 /dev/zero; printf 'mntrRGB XYZ '; " \
    "head -c 12 /dev/zero; printf acsp; head -c 92 /dev/zero; } > p.icc; "

const CraftedCase kCases[] = {
    // XML
    {"DeepXmpIsRefusedNotACrash",
     "yes '<a>' | head -n 100000 | tr -d '\\n' > d.xmp; yes '</a>' | head -n 100000 | "
     "tr -d '\\n' >> d.xmp; $CLI xmp in.jp2 --set-file d.xmp -o o.jp2",
     1, "deep", "d.xmp"},
    // Scripts and streams
    // A run writes its output only, and only once every line succeeded: a line that would
    // write a file of its own (here over the run's source) or print is refused.
    {"ScriptExportOverItsSourceIsRefused",
     PROFILE "printf 'icc --import p.icc\nicc --export in.jp2\n' > s.txt; "
             "$CLI run in.jp2 -o in.jp2 s.txt",
     1, "'icc --export' can't be used in a script", "p.icc s.txt"},
    {"ScriptExportBeforeAFailingLineWritesNothing",
     PROFILE "printf 'icc --import p.icc\nicc --export x.icc\ndelete 9\n' > s.txt; "
             "$CLI run in.jp2 -o o.jp2 s.txt",
     1, "nothing was written", "p.icc s.txt"},
    {"ScriptXmpLinePrintsNothing",
     "printf 'xmp --set-text \"<x/>\"\nxmp\n' > s.txt; $CLI run in.jp2 -o o.jp2 s.txt >out.txt; "
     "r=$?; test ! -s out.txt && exit $r",
     1, "'xmp' can't be used in a script", "s.txt out.txt"},
    // An endless stream of zeros is refused at its first byte, not read to the box's limit.
    {"ZerosForATextAreRefusedAtTheFirstNul",
     "cat /dev/zero | $CLI add in.jp2 xml --text-file /dev/stdin -o o.jp2", 1, "a NUL byte"},
    {"ZerosLoadedIntoALabelAreRefusedAtTheFirstNul",
     "cat /dev/zero | $CLI add in.jp2 label --import /dev/stdin -o o.jp2", 1, "NUL bytes"},
    // A streamed payload goes to a temporary file, not memory: peak memory stays far below it.
    {"StreamedImportIsSpooledNotHeld",
     "head -c 80000000 /dev/zero | /usr/bin/time -f %M -o t.txt $CLI add in.jp2 geotiff "
     "--import /dev/stdin -o o.jp2 && test $(cat t.txt) -lt 40000 && echo flat",
     0, "flat", "t.txt"},
    {"InfoJsonOfOneMissingFileGivesItsErrorObject",
     "$CLI info --json nope.jp2 > out.txt; r=$?; grep -q '\"error\": \"Couldn' out.txt || r=0; "
     "exit $r",
     1, "Couldn't open", "out.txt"},
    {"InfoOfAMissingFileAmongOthersFails", "$CLI info nope.jp2 in.jp2", 1, "nope.jp2: Couldn't"},
    {"ExtensionRuleLooksAtTheFileNameOnly",
     "mkdir d.jp2dir && $CLI save in.jp2 -o d.jp2dir/out && test -f d.jp2dir/out.jp2 && echo yes",
     0, "yes", "d.jp2dir"},
    {"TsvFieldsEscapeATabInThePath", "cp in.jp2 'a\tb.jp2'; $CLI list 'a\tb.jp2' in.jp2", 0,
     "a\\tb.jp2\t0\tFTYP", "a\tb.jp2"},
    // Reports
};

class Crafted : public testing::TestWithParam<CraftedCase> {};

TEST_P(Crafted, RefusedOrAnsweredWithoutHarm) {
    BOXQUILL_NEEDS_SHELL();
    const CraftedCase& row = GetParam();
    TempFolder folder;
    const std::string input = folder.file("in.jp2");
    std::filesystem::copy_file(std::string(BOXQUILL_SOURCE_DIR) + "/samples/tiled.jp2", input);
    const Bytes before = readFile(input);
    const CliResult result =
        runShell(folder, "cd " + shellQuote(folder.file("")) +
                             " && CLI=" + shellQuote(BOXQUILL_CLI_PATH) + " && " + row.shell);
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
    const std::string& said = row.exitCode == 0 ? result.out : result.err;
    EXPECT_NE(said.find(row.message), std::string::npos) << said;
    EXPECT_EQ(readFile(input), before);
    for (const auto& entry : std::filesystem::directory_iterator(folder.file(""))) {
        const std::string name = entry.path().filename().string();
        const bool promised =
            name == "in.jp2" || (row.exitCode == 0 && name == "o.jp2") ||
            std::string(" ").append(row.writes).append(" ").find(" " + name + " ") !=
                std::string::npos;
        EXPECT_TRUE(promised) << name << " was written";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Crafted, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CraftedCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace bq::test
