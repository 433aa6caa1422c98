// Crafted inputs, one row each: a shell line that makes the input and runs boxquill-cli on
// it, then the exit code and a piece of the message expected. Every row also finds the
// sample it started from unchanged, and no file written that the command did not promise.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
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

// Writes x.jp2: signature, file type, and a JP2 header of a 1 x 1 image of 3 components
// varying in depth, followed by the boxes the Python expression in $H makes.
#define BQ_JP2_WITH_H                                                                          \
    "python3 -c \"import struct;b=lambda t,p:struct.pack('>I',8+len(p))+t+p;"                  \
    "ih=b(b'ihdr',struct.pack('>IIHBBBB',1,1,3,255,7,0,0));"                                   \
    "open('x.jp2','wb').write(b(b'jP  ',b'\\r\\n\\x87\\n')+b(b'ftyp',b'jp2 \\0\\0\\0\\0jp2 ')" \
    "+b(b'jp2h',ih+eval(r'''$H''')))\""

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
    // A comment holding end tags, before a deep nesting, once let the nesting past the guard.
    {"GmlCommentHidingEndTagsIsRefusedInInfo",
     "{ printf '<!--RectifiedGrid'; yes '</a>' | head -n 100000 | tr -d '\\n'; printf -- '-->'; "
     "yes '<a>' | head -n 100000 | tr -d '\\n'; yes '</a>' | head -n 100000 | tr -d '\\n'; } "
     "> c.xml && $CLI add in.jp2 gml --text-file c.xml -o g.jp2 && $CLI info g.jp2",
     0, "GMLJP2: the GML is not well-formed XML: elements nest more than 256 deep", "c.xml g.jp2"},
    {"XmlBoxWithCommentHidingEndTagsIsRefusedInInfo",
     "{ printf '<!--RectifiedGrid'; yes '</a>' | head -n 100000 | tr -d '\\n'; printf -- '-->'; "
     "yes '<a>' | head -n 100000 | tr -d '\\n'; yes '</a>' | head -n 100000 | tr -d '\\n'; } "
     "> c.xml && $CLI add in.jp2 xml --text-file c.xml -o x.jp2 && $CLI info x.jp2 && "
     "$CLI info x.jp2 2",
     0, "the XML box is not well-formed XML: elements nest more than 256 deep", "c.xml x.jp2"},
    // Each element costs a DOM parser about 100 bytes: past the count, the text is refused.
    {"XmpOfTooManyElementsIsRefused",
     "{ printf '<r>'; yes '<a/>' | head -n 1000001 | tr -d '\\n'; printf '</r>'; } > m.xmp && "
     "$CLI xmp in.jp2 --set-file m.xmp -o o.jp2",
     1, "more than 1000000 elements and attributes", "m.xmp"},
    {"BlankXmpIsRefused", "printf ' \\n' > b.xmp && $CLI xmp in.jp2 --set-file b.xmp -o o.jp2", 1,
     "not well-formed XML: no root element", "b.xmp"},
    {"Utf16XmpIsNamedAsSuch",
     "printf '\\377\\376<\\000x\\000/\\000>\\000' > u.xmp && "
     "$CLI xmp in.jp2 --set-file u.xmp -o o.jp2",
     1, "it may be UTF-16 text; save it as UTF-8", "u.xmp"},
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
    {"ZerosForAnXmpPacketAreRefusedAtTheFirstNul",
     "cat /dev/zero | $CLI xmp in.jp2 --set-file /dev/stdin -o o.jp2", 1, "a NUL byte"},
    {"ZerosLoadedIntoALabelAreRefusedAtTheFirstNul",
     "cat /dev/zero | $CLI add in.jp2 label --import /dev/stdin -o o.jp2", 1, "NUL bytes"},
    // A streamed payload goes to a temporary file, not memory: peak memory stays far below it.
    {"StreamedImportIsSpooledNotHeld",
     "head -c 200000000 /dev/zero | /usr/bin/time -f %M -o t.txt $CLI add in.jp2 geotiff "
     "--import /dev/stdin -o o.jp2 && test $(cat t.txt) -lt 120000 && echo flat",
     0, "flat", "t.txt"},
    // A payload too large to hold, as a streamed import writes it, opens again: it stays in
    // the file (sparse here, so nothing is written to the disk).
    {"UuidBoxPastTwoGibibytesOpensAgain",
     "python3 -c \"import struct;f=open('big.jp2','wb');f.write(open('in.jp2','rb').read());"
     "f.write(struct.pack('>I',3*2**30)+b'uuid'+bytes.fromhex('b14bf8bd083d4b43a5ae8cd7d5a6ce03'));"
     "f.truncate(f.tell()+3*2**30-24)\" && $CLI list big.jp2",
     0, "GeoTIFF\t3221225464", "big.jp2"},
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
    // x.jp2: a JP2 header of an image of 3 components holding the boxes the row's $H makes
    // (b(type, payload) makes one); info's output stays small and says what it left out.
    {"HugeBpccIsShownForTheComponents",
     "H=\"b(b'bpcc',b'\\7'*15000000)\"; " BQ_JP2_WITH_H " && $CLI info x.jp2 --json > o.txt && "
     "test $(wc -c < o.txt) -lt 20000 && cat o.txt",
     0, "'bpcc': 14999997 more entries not shown", "x.jp2 o.txt"},
    {"HugeCmapIsShownForTheChannels",
     "H=\"b(b'cmap',b'\\0\\0\\0\\0'*4000000)\"; " BQ_JP2_WITH_H
     " && $CLI info x.jp2 > o.txt && test $(wc -c < o.txt) -lt 20000 && cat o.txt",
     0, "'cmap': 3999997 more entries not shown", "x.jp2 o.txt"},
    {"MillionColourBoxesAreCounted",
     "H=\"b(b'colr',b'\\1\\0\\0\\0\\0\\0\\20')*1000000\"; " BQ_JP2_WITH_H
     " && $CLI info x.jp2 --json > o.txt && test $(wc -c < o.txt) -lt 100000 && cat o.txt",
     0, "999936 more colour boxes not shown", "x.jp2 o.txt"},
    {"SecondJp2HeaderIsWarnedOf",
     "cp in.jp2 x.jp2 && printf '\\000\\000\\000\\010jp2h' >> x.jp2 && $CLI info x.jp2", 0,
     "more than one JP2 header box", "x.jp2"},
};

// Rows are named by their name in test output, not by their bytes.
void PrintTo(const CraftedCase& row, std::ostream* out) {
    *out << row.name;
}

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
