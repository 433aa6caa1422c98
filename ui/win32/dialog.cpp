#include "ui/win32/dialog.h"

#include <new>

#include "stream/utf8_path.h"
#include "ui/app.h"

namespace bq::win32 {

INT_PTR Dialog::runModal(HINSTANCE instance, int templateId, HWND owner) {
    modal_ = true;
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner,
                                           &Dialog::procedure, reinterpret_cast<LPARAM>(this));
    return result > 0 ? result : IDCANCEL;
}

HWND Dialog::createModeless(HINSTANCE instance, int templateId, HWND parent) {
    modal_ = false;
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, &Dialog::procedure,
                              reinterpret_cast<LPARAM>(this));
}

void Dialog::reportFailure(std::string_view message) {
    MessageBoxW(window_, widen(formatErrorText(message)).c_str(), widen(kErrorCaption).c_str(),
                MB_OK | MB_ICONERROR);
}

void Dialog::end(INT_PTR result) {
    if (modal_) {
        EndDialog(window_, result);
    }
}

bool Dialog::endEdit(int id, App& app, const BoxRef& target,
                     const std::function<Applied()>& apply) {
    if (id == IDCANCEL) {
        end(IDCANCEL);
        return true;
    }
    if (id != IDOK) {
        return false;
    }
    if (app.liveRow(target) < 0) {
        end(IDCANCEL);
        return true;
    }
    switch (apply()) {
        case Applied::Done:
            end(IDOK);
            break;
        case Applied::NoChange:
            end(IDCANCEL);
            break;
        case Applied::Refused:
            break;
    }
    return true;
}

INT_PTR CALLBACK Dialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        self->window_ = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->window_ = nullptr;
        return FALSE;
    }
    const char* failure = nullptr;
    try {
        return self->dispatch(message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        failure = "Out of memory.";
    } catch (...) {
        failure = "Internal error.";
    }
    // Reporting may itself run out of memory; the dialog ends all the same.
    try {
        self->reportFailure(failure);
    } catch (...) {
    }
    self->end(IDCANCEL);
    return TRUE;
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return onInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return onCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        default:
            return onMessage(message, wParam, lParam);
    }
}

UniqueFont fixedPitchFont(HWND window) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0) {
        return nullptr;
    }
    description.lfWeight = FW_NORMAL;
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(description.lfFaceName, L"Courier New", LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&description));
}

}  // namespace bq::win32
