#pragma once
// A Platform for tests: every call is recorded in order with all it was given, and the
// questions and dialogs are answered from queues that the test fills beforehand. A question
// or dialog with no answer queued fails the test (unless allowed) and answers No / Cancel.

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/platform.h"

namespace bq::test {

struct PlatformCall {
    enum class Kind {
        AskYesNo,
        ShowErrorBox,
        ChooseOpenFile,
        ChooseSaveFile,
        RunAddDialog,
        SetTitle,
        SetControlText,
        ControlText,
        EnableControl,
        IsControlEnabled,
        SetReadOnly,
    };

    Kind kind = Kind::SetTitle;
    std::string caption;        // AskYesNo, ShowErrorBox
    std::string text;           // AskYesNo, ShowErrorBox, SetTitle, SetControlText
    int id = 0;                 // the control id of the control calls
    bool flag = false;          // EnableControl, SetReadOnly
    FileDialogRequest request;  // ChooseOpenFile, ChooseSaveFile

    static PlatformCall make(Kind kind, std::string caption = {}, std::string text = {}, int id = 0,
                             bool flag = false) {
        PlatformCall call;
        call.kind = kind;
        call.caption = std::move(caption);
        call.text = std::move(text);
        call.id = id;
        call.flag = flag;
        return call;
    }
};

class ScriptedPlatform final : public Platform {
  public:
    using Kind = PlatformCall::Kind;

    // Answers, taken from the front.
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> openFileAnswers;
    std::deque<std::optional<std::string>> saveFileAnswers;
    std::deque<int> addDialogAnswers;
    // When set, a question or dialog without a queued answer is no failure.
    bool allowUnscripted = false;

    // Everything asked, in order.
    std::vector<PlatformCall> calls;
    // The state the calls left: control texts, enabled and read-only states, title.
    std::map<int, std::string> controlTexts;
    std::map<int, bool> enabledStates;
    std::map<int, bool> readOnlyStates;
    std::string title;

    bool askYesNo(std::string_view caption, std::string_view text) override {
        record(PlatformCall::make(Kind::AskYesNo, std::string(caption), std::string(text)));
        return take(yesNoAnswers, false, "askYesNo");
    }
    void showErrorBox(std::string_view caption, std::string_view text) override {
        record(PlatformCall::make(Kind::ShowErrorBox, std::string(caption), std::string(text)));
    }
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override {
        PlatformCall call = PlatformCall::make(Kind::ChooseOpenFile);
        call.request = request;
        record(std::move(call));
        return take(openFileAnswers, std::optional<std::string>(), "chooseOpenFile");
    }
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override {
        PlatformCall call = PlatformCall::make(Kind::ChooseSaveFile);
        call.request = request;
        record(std::move(call));
        return take(saveFileAnswers, std::optional<std::string>(), "chooseSaveFile");
    }
    int runAddDialog() override {
        record(PlatformCall::make(Kind::RunAddDialog));
        return take(addDialogAnswers, 2, "runAddDialog");
    }
    void setTitle(std::string_view text) override {
        record(PlatformCall::make(Kind::SetTitle, "", std::string(text)));
        title = std::string(text);
    }
    void setControlText(int id, std::string_view text) override {
        record(PlatformCall::make(Kind::SetControlText, "", std::string(text), id));
        controlTexts[id] = std::string(text);
    }
    std::string controlText(int id) override {
        record(PlatformCall::make(Kind::ControlText, "", "", id));
        const auto found = controlTexts.find(id);
        return found == controlTexts.end() ? std::string() : found->second;
    }
    void enableControl(int id, bool enabled) override {
        record(PlatformCall::make(Kind::EnableControl, "", "", id, enabled));
        enabledStates[id] = enabled;
    }
    bool isControlEnabled(int id) override {
        record(PlatformCall::make(Kind::IsControlEnabled, "", "", id));
        const auto found = enabledStates.find(id);
        return found != enabledStates.end() && found->second;
    }
    void setReadOnly(int id, bool readOnly) override {
        record(PlatformCall::make(Kind::SetReadOnly, "", "", id, readOnly));
        readOnlyStates[id] = readOnly;
    }

    // Conveniences for assertions.
    std::vector<PlatformCall> callsOf(Kind kind) const {
        std::vector<PlatformCall> found;
        for (const PlatformCall& call : calls) {
            if (call.kind == kind) {
                found.push_back(call);
            }
        }
        return found;
    }
    // The texts of the error boxes shown, in order.
    std::vector<std::string> errorTexts() const { return textsOf(Kind::ShowErrorBox); }
    // The texts of the questions asked, in order.
    std::vector<std::string> questionTexts() const { return textsOf(Kind::AskYesNo); }
    bool enabled(int id) const {
        const auto found = enabledStates.find(id);
        return found != enabledStates.end() && found->second;
    }
    bool readOnly(int id) const {
        const auto found = readOnlyStates.find(id);
        return found != readOnlyStates.end() && found->second;
    }
    std::string text(int id) const {
        const auto found = controlTexts.find(id);
        return found == controlTexts.end() ? std::string() : found->second;
    }
    void clearCalls() { calls.clear(); }

  private:
    void record(PlatformCall call) { calls.push_back(std::move(call)); }

    std::vector<std::string> textsOf(Kind kind) const {
        std::vector<std::string> texts;
        for (const PlatformCall& call : calls) {
            if (call.kind == kind) {
                texts.push_back(call.text);
            }
        }
        return texts;
    }

    template <typename T>
    T take(std::deque<T>& queue, T fallback, const char* what) {
        if (queue.empty()) {
            if (!allowUnscripted) {
                ADD_FAILURE() << "unscripted " << what;
            }
            return fallback;
        }
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
};

}  // namespace bq::test
