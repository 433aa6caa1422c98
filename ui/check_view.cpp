#include "ui/check_view.h"

#include <cstdint>
#include <limits>

#include "box/signature.h"
#include "ui/check_report_text.h"
#include "ui/control_ids.h"
#include "ui/escape_text.h"

namespace bq {
namespace {

std::string counted(std::size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string verdictNote(const ValidationReport& report) {
    const std::size_t errors = report.findings.count(Severity::Error);
    const std::size_t warnings = report.findings.count(Severity::Warning);
    if (errors == 0) {
        return "The file is valid: no errors" +
               (warnings > 0 ? ", " + counted(warnings, "warning") : std::string()) + ".";
    }
    return "The file is not valid: " + counted(errors, "error") + ", " +
           counted(warnings, "warning") + ".";
}

}  // namespace

int findingRow(const BoxList& boxes, const Finding& finding) {
    const int count = boxes.rowCount();
    if (finding.row && *finding.row >= 0 && *finding.row < count) {
        return *finding.row;
    }
    if (!finding.offset) {
        return -1;
    }
    // Rows are written in order, an association's header followed by the rows nested in it, so
    // a row's bytes run from its start to the start of the next row no deeper than it.
    struct Open {
        int row;
        int depth;
        std::uint64_t start;
    };
    std::vector<Open> open;
    const std::uint64_t at = *finding.offset;
    int found = -1;
    const auto close = [&](int depth, std::uint64_t end) {
        while (!open.empty() && open.back().depth >= depth) {
            // Rows close innermost first: the first that holds the offset is the innermost.
            if (found < 0 && open.back().start <= at && at < end) {
                found = open.back().row;
            }
            open.pop_back();
        }
    };
    std::uint64_t position = kSignatureLength;
    for (int row = 0; row < count; ++row) {
        const Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            return -1;
        }
        close(box->depth, position);
        open.push_back({row, box->depth, position});
        const std::uint64_t size = box->writtenSize();
        // A crafted size cannot wrap the running position round to a small offset.
        if (size > std::numeric_limits<std::uint64_t>::max() - position) {
            break;
        }
        position += size;
    }
    close(std::numeric_limits<int>::min(), position);
    return found;
}

CheckView checkView(std::string_view path, const ValidationReport& report, const BoxList& boxes,
                    bool modified) {
    CheckView view;
    if (path.empty()) {
        view.notes.emplace_back(kCheckNoFileNote);
        return view;
    }
    if (modified) {
        view.notes.emplace_back(kCheckUnsavedNote);
    }
    view.notes.push_back(verdictNote(report));
    for (const Finding& finding : report.findings.all()) {
        view.lines.push_back({severityName(finding.severity), finding.test,
                              escapeText(finding.message, Escape::Field), findingPlace(finding),
                              modified ? -1 : findingRow(boxes, finding)});
    }
    view.copyText = reportText(path, report, false);
    return view;
}

CheckView checkDocument(App& app) {
    const std::string path = app.platform().controlText(IDC_PATH);
    return checkView(path, path.empty() ? ValidationReport{} : validateFile(path), app.boxes(),
                     app.modified());
}

}  // namespace bq
