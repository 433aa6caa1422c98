// `check`: every file against the JP2 and JPX rules, as findings a person or a script reads.

#include <string>

#include <nlohmann/json.hpp>

#include "cli/check_profiles.h"
#include "cli/cli_commands.h"
#include "cli/collection_run.h"
#include "cli/output.h"
#include "ui/check_report_text.h"
#include "validate/validate_file.h"

namespace bq::cli {

namespace {

using Json = nlohmann::ordered_json;

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

FileOutcome outcomeOf(const ValidationReport& report) {
    if (report.valid()) {
        return FileOutcome::Ok;
    }
    for (const Finding& finding : report.findings.all()) {
        if (finding.test == kFileReadableTest) {
            return FileOutcome::Unreadable;
        }
    }
    return FileOutcome::Invalid;
}

}  // namespace

int runCheck(const CliArgs& args) {
    std::string problem;
    const auto profiles = loadProfiles(args.profiles, problem);
    if (!profiles) {
        printError(problem);
        return kExitUsage;
    }
    return runCollection(
        args,
        [&args, &profiles](const CollectedFile& file, bool several, FileOutput& output) {
            const std::string& path = file.path;
            ValidationReport report;
            if (file.folderError.empty()) {
                report = validateFile(path);
                applyProfiles(*profiles, path, report);
            } else {
                report.findings.error(kFileReadableTest, false, file.folderError);
            }
            if (args.json) {
                output.out(jsonText(reportJson(path, report, args.all), several ? -1 : 2));
            } else {
                output.out(reportText(path, report, args.all));
            }
            return outcomeOf(report);
        },
        true);
}

}  // namespace bq::cli
