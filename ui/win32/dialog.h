#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "ui/app.h"
#include "ui/win32/win32_handles.h"

namespace bq::win32 {

// The base of every dialog: one static procedure stores the object from WM_INITDIALOG's
// lParam, finds it for every later message and forwards to the virtual handlers. Nothing is
// thrown through it: a handler's exception is reported, and a modal dialog then ends with
// IDCANCEL, so its caller sees no change made.
class Dialog {
  public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    // Runs the dialog modal to `owner`; what end() gave, or IDCANCEL when it failed.
    INT_PTR runModal(HINSTANCE instance, int templateId, HWND owner);
    // Creates the dialog modeless, a child or owned window of `parent`; none when it cannot be.
    // The object must outlive the window.
    HWND createModeless(HINSTANCE instance, int templateId, HWND parent);

    HWND window() const { return window_; }

  protected:
    // WM_INITDIALOG: true to let the system give the default control the focus.
    virtual bool onInit() { return true; }
    // WM_COMMAND: true when handled.
    virtual bool onCommand(int /*id*/, int /*code*/) { return false; }
    // Every other message: the value the dialog procedure returns.
    virtual INT_PTR onMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
        return FALSE;
    }
    // A failure that escaped a handler, in the error box over this dialog.
    virtual void reportFailure(std::string_view message);

    // Ends a modal dialog: runModal returns `result`.
    void end(INT_PTR result);

    // What OK of a dialog that edits a box made of the edit.
    enum class Applied { Done, NoChange, Refused };
    // OK and Cancel of a dialog that edits the box `target` names. Cancel ends it; OK runs
    // `apply` only while the box is still in the document (else the dialog ends, cancelled,
    // after saying so), then ends it with IDOK for a change, IDCANCEL for none, and keeps it
    // open when the edit was refused, to be mended. False for any other control.
    bool endEdit(int id, App& app, const BoxRef& target, const std::function<Applied()>& apply);
    HWND item(int id) const { return GetDlgItem(window_, id); }

  private:
    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    bool modal_ = false;
};

// The font `window` uses made fixed-pitch at the same size, so columns of text line up.
UniqueFont fixedPitchFont(HWND window);

}  // namespace bq::win32
