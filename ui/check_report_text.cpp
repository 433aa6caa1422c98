#include "ui/check_report_text.h"

#include "ui/escape_text.h"

namespace bq {

const char* severityName(Severity severity) {
    return severity == Severity::Error ? "error" : "warning";
}

std::string findingPlace(const Finding& finding) {
    std::string where = finding.box;
    if (finding.offset) {
        where += (where.empty() ? "@" : " @") + std::to_string(*finding.offset);
    }
    return escapeText(where, Escape::Field);
}

std::string findingLine(std::string_view file, const Finding& finding) {
    const std::string where = findingPlace(finding);
    return escapeText(file, Escape::Field) + ": " + severityName(finding.severity) + ": " +
           finding.test + ": " + escapeText(finding.message, Escape::Field) +
           (where.empty() ? "" : " [" + where + "]");
}

std::string reportText(std::string_view file, const ValidationReport& report, bool withPassed) {
    std::string text;
    for (const Finding& finding : report.findings.all()) {
        text += findingLine(file, finding) + "\n";
    }
    const std::string name = escapeText(file, Escape::Field) + ": ";
    if (withPassed) {
        for (const std::string& test : report.findings.passed()) {
            text += name + "passed: " + test + "\n";
        }
    }
    if (report.valid()) {
        text += name + "valid\n";
    } else {
        text += name + "invalid (" + std::to_string(report.findings.count(Severity::Error)) +
                " errors, " + std::to_string(report.findings.count(Severity::Warning)) +
                " warnings)\n";
    }
    return text;
}

}  // namespace bq
