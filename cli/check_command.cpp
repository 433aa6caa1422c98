// `check`: every file against the JP2 and JPX rules, as findings a person or a script reads.

#include <string>

#include <nlohmann/json.hpp>

#include "cli/cli_commands.h"
#include "cli/output.h"
#include "validate/report_text.h"
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

}  // namespace

int runCheck(const CliArgs& args) {
    bool allValid = true;
    const bool several = args.positionals.size() > 1;
    for (const std::string& path : args.positionals) {
        const ValidationReport report = validateFile(path);
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
