// The dialog base's barrier: what a handler throws is reported, and the dialog ends cancelled.

#include "ui/win32/dialog.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/win32/driver.h"
#include "ui/control_ids.h"

namespace bq::test {
namespace {

class ThrowingDialog final : public win32::Dialog {
    bool onCommand(int id, int /*code*/) override {
        if (id == IDC_ADD_XML) {
            throw std::runtime_error("a handler's fault");
        }
        return false;
    }
};

TEST(Dialog, AHandlerThatThrowsIsReportedAndEndsTheDialogCancelled) {
    Driver driver;
    HWND dialog = nullptr;
    std::string text;
    driver.then("the dialog", [&] {
        dialog = findDialog("Add JP2 box");
        if (dialog != nullptr) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_XML, BN_CLICKED), 0);
        }
        return dialog != nullptr;
    });
    driver.then("the error box", [&] {
        const HWND box = findDialog("Boxquill - Error!");
        if (box != nullptr) {
            text = staticTexts(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return box != nullptr;
    });
    driver.then("the dialog ended", [&] { return !IsWindow(dialog); });
    ThrowingDialog throwing;
    EXPECT_EQ(throwing.runModal(GetModuleHandleW(nullptr), IDD_ADD, nullptr), IDCANCEL);
    EXPECT_EQ(text, "\nInternal error. \n\n");
    while (!driver.done()) {
        MSG message;
        GetMessageW(&message, nullptr, 0, 0);
        DispatchMessageW(&message);
    }
}

}  // namespace
}  // namespace bq::test
