#include "validate/findings.h"

#include <algorithm>

namespace bq {

bool Findings::check(std::string_view test, bool ok, Severity severity, std::string_view message,
                     std::string_view box, std::optional<std::uint64_t> offset) {
    if (ran_.find(test) == ran_.end()) {
        ran_.emplace(test);
    }
    if (!ok) {
        if (failed_.find(test) == failed_.end()) {
            failed_.emplace(test);
        }
        findings_.push_back(
            {std::string(test), severity, std::string(message), std::string(box), offset, {}});
    }
    return ok;
}

bool Findings::limit(std::string_view test, bool ok, std::string_view message, std::string_view box,
                     std::optional<std::uint64_t> offset) {
    if (!ok) {
        // Kept out of `passed` even where the same name passed elsewhere in the file.
        if (failed_.find(test) == failed_.end()) {
            failed_.emplace(test);
        }
        findings_.push_back({std::string(test),
                             Severity::Warning,
                             std::string(message),
                             std::string(box),
                             offset,
                             {}});
    }
    return ok;
}

std::vector<std::string> Findings::passed() const {
    std::vector<std::string> names;
    for (const std::string& name : ran_) {
        if (failed_.find(name) == failed_.end()) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Findings::hasErrors() const {
    return count(Severity::Error) > 0;
}

std::size_t Findings::count(Severity severity) const {
    return static_cast<std::size_t>(
        std::count_if(findings_.begin(), findings_.end(),
                      [severity](const Finding& finding) { return finding.severity == severity; }));
}

}  // namespace bq
