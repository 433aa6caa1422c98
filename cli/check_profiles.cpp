#include "cli/check_profiles.h"

#include <algorithm>

#include "cli/cli_support.h"
#include "stream/input_file.h"

namespace bq::cli {

namespace {

// A profile is a page of text; anything near this is not one.
constexpr std::uint64_t kMaxProfileBytes = 1024 * 1024;

}  // namespace

std::optional<std::vector<Profile>> loadProfiles(const std::vector<std::string>& files,
                                                 std::string& error) {
    std::vector<Profile> profiles;
    for (const std::string& file : files) {
        const InputBytes input = readInput(file, kMaxProfileBytes);
        if (input.error != InputError::None) {
            error = file + (input.error == InputError::TooLarge ? ": a profile is at most 1 MiB"
                                                                : ": cannot read the profile");
            return std::nullopt;
        }
        const std::string_view text(reinterpret_cast<const char*>(input.bytes.data()),
                                    input.bytes.size());
        auto profile = loadProfile(text, file, error);
        if (!profile) {
            return std::nullopt;
        }
        profiles.push_back(std::move(*profile));
    }
    return profiles;
}

void applyProfiles(const std::vector<Profile>& profiles, const std::string& path,
                   ValidationReport& report) {
    // A file that cannot be read is already invalid for that alone; rules over nothing would
    // only add noise (and the absent ones would pass).
    const auto& findings = report.findings.all();
    if (profiles.empty() || std::any_of(findings.begin(), findings.end(), [](const Finding& f) {
            return f.test == kFileReadableTest;
        })) {
        return;
    }
    // The file as `info` reads it; one the editor cannot open leaves every value absent, so
    // the rules still each give their verdict.
    Session session;
    session.platform.collectMessages = true;
    std::vector<const Box*> rows;
    if (session.open(path)) {
        for (int row = 0; row < session.boxes.rowCount(); ++row) {
            rows.push_back(session.boxes.boxAt(row));
        }
    }
    const ProfileSubject subject = profileSubject(rows, report.codestream);
    for (const Profile& profile : profiles) {
        applyProfile(profile, subject, report.findings);
    }
}

}  // namespace bq::cli
