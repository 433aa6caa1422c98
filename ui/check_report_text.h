#pragma once
// The text form of a check: what `check` prints and what the editor's check dialog shows and
// copies, so a line pasted from one matches the other.

#include <string>
#include <string_view>

#include "validate/validate_file.h"

namespace bq {

// "error" or "warning".
const char* severityName(Severity severity);
// Where a finding lies, "jp2h/colr[1] @45", escaped; empty when neither is known.
std::string findingPlace(const Finding& finding);
// "FILE: error: TEST: message [box @offset]", without a line feed; the texts that come from the
// file (its name, the message, the box path) escaped so that one finding stays one line.
std::string findingLine(std::string_view file, const Finding& finding);
// Each finding's line, then each passed test's line when `withPassed`, then "FILE: valid" or
// "FILE: invalid (E errors, W warnings)"; every line ended by "\n".
std::string reportText(std::string_view file, const ValidationReport& report, bool withPassed);

}  // namespace bq
