#include "cli/cli_platform.h"

#include <cstdio>

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

bool CliPlatform::askYesNo(std::string_view /*caption*/, std::string_view text) {
    if (!yesAnswer) {
        ++declinedQuestions_;
        // Say what was declined: the command ends without a word otherwise.
        std::fprintf(stderr, "%.*s(answered No; pass --yes to answer Yes)\n",
                     static_cast<int>(text.size()), text.data());
    }
    return yesAnswer;
}

void CliPlatform::showErrorBox(std::string_view /*caption*/, std::string_view text) {
    ++errorCount_;
    const std::string_view message = errorMessageOf(text);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
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
