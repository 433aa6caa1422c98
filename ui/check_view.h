#pragma once
// What the "Check file…" dialog shows, without windows: the check of the document's file as
// saved, a line or two above the list, a row of cells per finding, the row of the box list
// each finding leads to, and the text Ctrl+C copies.

#include <string>
#include <string_view>
#include <vector>

#include "ui/app.h"
#include "validate/validate_file.h"

namespace bq {

constexpr std::string_view kCheckNoFileNote =
    "The document has not been saved to a file: there is nothing to check.";
constexpr std::string_view kCheckUnsavedNote =
    "The document has unsaved edits: these are the findings of the file as saved (save it to go "
    "to their rows).";

struct CheckLine {
    std::string severity;
    std::string test;
    std::string message;  // escaped, one line
    std::string place;    // "jp2h/colr[1] @45"
    int row = -1;         // the box list's row it leads to; -1 for none
};

struct CheckView {
    std::vector<std::string> notes;  // above the list, one a line
    std::vector<CheckLine> lines;
    std::string copyText;  // `check`'s text output for the file, lines ended by "\n"
};

// The view of `report`, the check of the file at `path`, beside the document `boxes`. The rows
// are only the file's while the document has no unsaved edits: with some, no finding leads to a
// row. An empty path is a document never saved, which has nothing to check.
CheckView checkView(std::string_view path, const ValidationReport& report, const BoxList& boxes,
                    bool modified);
// Checks the document's file, the one the path field names, and views it.
CheckView checkDocument(App& app);

// The row a finding leads to in `boxes`, which hold the file it was found in: the finding's own
// row, else the innermost row whose box, as written, holds the finding's offset; -1 when none.
int findingRow(const BoxList& boxes, const Finding& finding);

}  // namespace bq
