#include "cli/cli_platform.h"

#include <cstdio>

#include "cli/output.h"

namespace bq::cli {

std::string_view errorMessageOf(std::string_view boxText) {
    constexpr std::string_view kLead = "\n";
    constexpr std::string_view kTail = " \n\n";
    if (boxText.size() >= kLead.size() + kTail.size() && boxText.starts_with(kLead) &&
        boxText.ends_with(kTail)) {
        boxText.remove_prefix(kLead.size());
        boxText.remove_suffix(kTail.size());
    }
    return boxText;
}

void CliPlatform::report(std::string_view lead, std::string_view message) {
    if (collectMessages) {
        messages.emplace_back(message);
        return;
    }
    std::string line;
    line.reserve(lead.size() + context.size() + message.size() + 1);
    line.append(lead).append(context).append(message).push_back('\n');
    if (isTerminal(stderr)) {
        line = escapeText(line, Escape::Lines);  // messages quote names and texts from files
    }
    if (errorSink != nullptr) {
        errorSink->append(line);
        return;
    }
    std::fflush(stdout);  // what was printed before the message comes out before it
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool CliPlatform::askYesNo(std::string_view /*caption*/, std::string_view text) {
    if (!yesAnswer) {
        ++declinedQuestions_;
        // Say what was declined: the command ends without a word otherwise.
        report("", std::string(text) + "(answered No; pass --yes to answer Yes)");
    }
    return yesAnswer;
}

void CliPlatform::showErrorBox(std::string_view /*caption*/, std::string_view text) {
    ++errorCount_;
    report("", errorMessageOf(text));
}

std::optional<std::string> CliPlatform::chooseOpenFile(const FileDialogRequest& /*request*/) {
    return openFileAnswer;
}

std::optional<std::string> CliPlatform::chooseSaveFile(const FileDialogRequest& /*request*/) {
    return saveFileAnswer;
}

void CliPlatform::setControlText(int id, std::string_view text) {
    texts_[id] = std::string(text);
}

std::string CliPlatform::controlText(int id) {
    const auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

bool CliPlatform::isControlEnabled(int id) {
    const auto found = enabled_.find(id);
    return found != enabled_.end() && found->second;
}

}  // namespace bq::cli
