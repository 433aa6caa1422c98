#pragma once
// `check --profile FILE.toml`: the profiles read and checked whole before any file is, then
// applied to each file after the validator's tests.

#include <optional>
#include <string>
#include <vector>

#include "validate/profile.h"
#include "validate/validate_file.h"

namespace bq::cli {

// Reads every profile named. None, with `error` naming the file, line and rule, when one
// cannot be read or holds a fault.
std::optional<std::vector<Profile>> loadProfiles(const std::vector<std::string>& files,
                                                 std::string& error);

// Adds the findings of every profile's rules on the file at `path` to `report`.
void applyProfiles(const std::vector<Profile>& profiles, const std::string& path,
                   ValidationReport& report);

}  // namespace bq::cli
