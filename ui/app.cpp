#include "ui/app.h"

#include <cstdio>
#include <string>

#include "ui/control_ids.h"

namespace bq {

std::string buildTitle(bool modified) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s v1.1.%u", modified ? "Boxquill*" : "Boxquill",
                  kBuildNumber);
    return buffer;
}

std::string formatErrorText(std::string_view message) {
    // The message is cut where a C string would end, like the error box's own buffer does.
    const std::string text(message);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "\n%.500s \n\n", text.c_str());
    return buffer;
}

App::App(Platform& platform, BoxList& boxes)
    : platform_(platform), boxes_(boxes), title_(buildTitle(false)) {}

bool App::showError(std::string_view message) {
    platform_.showErrorBox(kErrorCaption, formatErrorText(message));
    return false;
}

void App::setModified(bool modified) {
    modified_ = modified;
    platform_.enableControl(IDC_SAVE, modified);
    title_ = buildTitle(modified);
    platform_.setTitle(title_);
}

int App::rowOf(const BoxRef& ref) const {
    if (ref.box == nullptr || ref.generation != generation_) {
        return -1;
    }
    for (int row = 0; row < boxes_.rowCount(); ++row) {
        if (boxes_.boxAt(row) == ref.box) {
            return row;
        }
    }
    return -1;
}

int App::liveRow(const BoxRef& ref) {
    const int row = rowOf(ref);
    if (row < 0) {
        showError(kBoxGoneMessage);
    }
    return row;
}

void App::resetDocument() {
    history_.clear();
    openedFileSize_ = 0;
    boxesDestroyed();
    setModified(false);
    platform_.setControlText(IDC_PATH, "");
    // Every box goes first, then the rows that held them.
    for (int row = 0; row < boxes_.rowCount(); ++row) {
        if (boxes_.boxAt(row) != nullptr) {
            boxes_.setRowBox(row, nullptr);
        }
    }
    boxes_.deleteAllRows();
    platform_.setControlText(IDC_CONTENT, "");
    platform_.setReadOnly(IDC_CONTENT, true);
    platform_.enableControl(IDC_ADD, false);
    platform_.enableControl(IDC_DELETE, false);
}

void App::markModified() {
    setModified(true);
}

void App::markUnmodified() {
    history_.markSaved();
    setModified(false);
}

}  // namespace bq
