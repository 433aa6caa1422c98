// `check`: every file against the JP2 and JPX rules, as findings a person or a script reads.

#include <string>

#include <nlohmann/json.hpp>

#include "cli/check_profiles.h"
#include "cli/cli_commands.h"
#include "cli/output.h"
#include "validate/validate_file.h"

namespace bq::cli {

namespace {

using Json = nlohmann::ordered_json;

const char* severityName(Severity severity) {
    return severity == Severity::Error ? "error" : "warning";
}

Json reportJson(const std::string& path, const ValidationReport& report, bool all) {
    Json findings = Json::array();
    for (const Finding& finding : report.findings.all()) {
        findings.push_back({{"test", finding.test},
                            {"severity", severityName(finding.severity)},
                            {"message", finding.message},
                            {"box", finding.box},
                            {"offset", finding.offset ? Json(*finding.offset) : Json()},
                            {"row", finding.row ? Json(*finding.row) : Json()}});
    }
    Json out = {{"file", path},
                {"format", report.format},
                {"valid", report.valid()},
                {"findings", std::move(findings)}};
    if (all) {
        out["passed"] = report.findings.passed();
    }
    return out;
}

std::string reportText(const std::string& path, const ValidationReport& report, bool all) {
    const std::string file = escapeText(path, Escape::Field) + ": ";
    std::string text;
    for (const Finding& finding : report.findings.all()) {
        std::string where = finding.box;
        if (finding.offset) {
            where += (where.empty() ? "@" : " @") + std::to_string(*finding.offset);
        }
        text += file + severityName(finding.severity) + ": " + finding.test + ": " +
                escapeText(finding.message, Escape::Field) +
                (where.empty() ? "" : " [" + escapeText(where, Escape::Field) + "]") + "\n";
    }
    if (all) {
        for (const std::string& test : report.findings.passed()) {
            text += file + "passed: " + test + "\n";
        }
    }
    if (report.valid()) {
        text += file + "valid\n";
    } else {
        text += file + "invalid (" + std::to_string(report.findings.count(Severity::Error)) +
                " errors, " + std::to_string(report.findings.count(Severity::Warning)) +
                " warnings)\n";
    }
    return text;
}

}  // namespace

int runCheck(const CliArgs& args) {
    std::string problem;
    const auto profiles = loadProfiles(args.profiles, problem);
    if (!profiles) {
        printError(problem);
        return kExitUsage;
    }
    bool allValid = true;
    const bool several = args.positionals.size() > 1;
    for (const std::string& path : args.positionals) {
        ValidationReport report = validateFile(path);
        applyProfiles(*profiles, path, report);
        allValid = allValid && report.valid();
        if (args.json) {
            writeOut(jsonText(reportJson(path, report, args.all), several ? -1 : 2));
        } else {
            writeOut(reportText(path, report, args.all));
        }
    }
    return allValid ? kExitOk : kExitFailure;
}

}  // namespace bq::cli
