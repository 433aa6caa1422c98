#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/platform.h"

namespace bq::cli {

// A Platform that answers from the command line: the file dialogs answer the names given as
// arguments, questions answer --yes, the Add dialog answers the kind asked for, and the
// error box prints its message on stderr. Controls are plain state the commands read back.
class CliPlatform final : public Platform {
  public:
    // What the dialogs and questions answer; none means Cancel / No.
    std::optional<std::string> openFileAnswer;
    std::optional<std::string> saveFileAnswer;
    bool yesAnswer = false;
    int addDialogAnswer = 2;

    // Put before every message: where it comes from ("edits.txt:3: ", "scan.jp2: ").
    std::string context;
    // When set, messages are kept in `messages` instead of going to stderr.
    bool collectMessages = false;
    std::vector<std::string> messages;
    // When set, lines for stderr are appended here instead (a file of a listing run on a
    // worker: its lines are printed in the files' order).
    std::string* errorSink = nullptr;

    // Prints `message` after the context on stderr, or keeps it. `lead` goes first on stderr
    // ("boxquill-cli: " for the program's own messages; the editor's error boxes have none).
    void report(std::string_view lead, std::string_view message);

    bool askYesNo(std::string_view caption, std::string_view text) override;
    void showErrorBox(std::string_view caption, std::string_view text) override;
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override;
    int runAddDialog() override { return addDialogAnswer; }
    void setTitle(std::string_view title) override { title_ = std::string(title); }
    void setControlText(int id, std::string_view text) override;
    std::string controlText(int id) override;
    void enableControl(int id, bool enabled) override { enabled_[id] = enabled; }
    bool isControlEnabled(int id) override;
    void setReadOnly(int id, bool readOnly) override { readOnly_[id] = readOnly; }

    const std::string& title() const { return title_; }
    int errorCount() const { return errorCount_; }
    // The questions answered No, so a command can say why it did nothing.
    int declinedQuestions() const { return declinedQuestions_; }

  private:
    std::string title_;
    std::map<int, std::string> texts_;
    std::map<int, bool> enabled_;
    std::map<int, bool> readOnly_;
    int errorCount_ = 0;
    int declinedQuestions_ = 0;
};

// The message inside an error box's text: the "\n" before it and the " \n\n" after it removed.
std::string_view errorMessageOf(std::string_view boxText);

}  // namespace bq::cli
