#include "ui/win32/shell.h"

#include <commctrl.h>
#include <windowsx.h>

#include <new>
#include <optional>
#include <string>

#include "stream/utf8_path.h"
#include "ui/check_view.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/jp2_header_edit.h"
#include "ui/list_rules.h"
#include "ui/open_document.h"
#include "ui/properties.h"
#include "ui/save_document.h"
#include "ui/undo.h"
#include "ui/win32/check_dialog.h"
#include "ui/win32/context_menu.h"
#include "ui/win32/georef_dialog.h"
#include "ui/win32/metadata_dialogs.h"
#include "ui/win32/properties_dialog.h"
#include "ui/xmp_edit.h"

namespace bq::win32 {
namespace {

// Window procedures are called by the system: nothing may be thrown through them. Running
// out of memory is the one failure the editor's code lets escape; it is reported, the
// message otherwise treated as handled.
template <typename Handler>
bool guarded(App& app, Handler&& handler) {
    try {
        handler();
        return true;
    } catch (const std::bad_alloc&) {
        app.showError("Out of memory.");
    } catch (...) {
        app.showError("Internal error.");
    }
    return false;
}

}  // namespace

Shell::Shell(HINSTANCE instance)
    : instance_(instance), platform_(instance), app_(platform_, boxes_) {}

Shell::~Shell() {
    if (mainWindow_ != nullptr && IsWindow(mainWindow_)) {
        DestroyWindow(mainWindow_);
        // Destruction posted a quit message meant for a loop that no longer runs.
        MSG message;
        PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
}

bool Shell::createWindows() {
    InitCommonControls();

    // Unicode windows, so that the title and the path field show names in any script.
    const std::wstring className = widen(kWindowClassName);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &Shell::mainWindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_APP_LARGE));
    windowClass.hIconSm = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_APP_SMALL));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className.c_str();
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered

    {
        ScreenDc screen;
        app_.dpiX = GetDeviceCaps(screen.get(), LOGPIXELSX);
        app_.dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }

    const Size client = clientSize(app_.dpiX, app_.dpiY);
    RECT outer{0, 0, client.width, client.height};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    app_.minWidth = outer.right - outer.left;
    app_.minHeight = outer.bottom - outer.top;
    const Point at = windowPlacement({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                                     {app_.minWidth, app_.minHeight});

    mainWindow_ = CreateWindowExW(0, className.c_str(), widen(app_.title()).c_str(),
                                  WS_OVERLAPPEDWINDOW, at.x, at.y, app_.minWidth, app_.minHeight,
                                  nullptr, nullptr, instance_, this);
    if (mainWindow_ == nullptr) {
        return app_.showError(kNoWindowMessage);
    }
    fitToMonitor();
    platform_.attach(mainWindow_, nullptr);

    panel_ = panelDialog_.createModeless(instance_, IDD_PANEL, mainWindow_);
    if (panel_ == nullptr) {
        return app_.showError(kNoDialogMessage);
    }
    platform_.attach(mainWindow_, panel_);
    // Typing is limited only by memory, not by the edit control's default 32 K characters.
    SendMessageA(control(IDC_CONTENT), EM_SETLIMITTEXT, 0, 0);

    if (!boxes_.setup(control(IDC_LIST), true, true, false, true)) {
        return app_.showError(kNoListMessage);
    }
    boxes_.textColourCallback = [this](int row) {
        return static_cast<COLORREF>(rowTextColour(boxes_, row, GetSysColor(COLOR_WINDOWTEXT)));
    };
    for (int column = 0; column < static_cast<int>(kColumns.size()); ++column) {
        const ColumnSpec& col = kColumns[static_cast<std::size_t>(column)];
        boxes_.addColumn(column, columnWidth(column, app_.dpiX), col.caption,
                         static_cast<int>(col.alignment));
    }

    statusBar_ = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, kStatusText,
                                     mainWindow_, IDC_STATUS);

    DragAcceptFiles(mainWindow_, TRUE);
    ShowWindow(mainWindow_, SW_SHOWNORMAL);
    UpdateWindow(mainWindow_);
    app_.resetDocument();
    return true;
}

void Shell::fitToMonitor() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(mainWindow_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& m = monitor.rcMonitor;
    const RECT& w = monitor.rcWork;
    const WindowFit fit =
        fitMainWindow({m.right - m.left, m.bottom - m.top}, {w.left, w.top, w.right, w.bottom},
                      {app_.minWidth, app_.minHeight});
    app_.minWidth = fit.minimum.width;
    app_.minHeight = fit.minimum.height;
    SetWindowPos(mainWindow_, nullptr, fit.at.x, fit.at.y, fit.size.width, fit.size.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Shell::openFromTail(std::string_view tail) {
    if (!tail.empty()) {
        guarded(app_, [&] { openDocument(app_, std::string(pathFromTail(tail))); });
    }
}

int Shell::messageLoop() {
    const HACCEL accelerators = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCEL));
    MSG message;
    for (;;) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
                return 1;
            }
            if (mainWindow_ != nullptr && accelerators != nullptr &&
                TranslateAcceleratorW(mainWindow_, accelerators, &message)) {
                continue;
            }
            if (panel_ != nullptr && IsDialogMessageW(panel_, &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else {
            Sleep(8);
            if (idle_.pass()) {
                onIdle();
            }
        }
    }
}

void Shell::onIdle() {
    guarded(app_, [&] { refreshAssociationSizes(boxes_); });
}

LRESULT CALLBACK Shell::mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* shell = reinterpret_cast<Shell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (shell == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (!guarded(shell->app_,
                 [&] { result = shell->onMainMessage(window, message, wParam, lParam); })) {
        return 0;
    }
    return result;
}

LRESULT Shell::onMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            layoutPanel(wParam, lParam);
            break;
        case WM_CLOSE:
            return onClose();
        case WM_DROPFILES:
            onDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            mainWindow_ = nullptr;
            panel_ = nullptr;
            statusBar_ = nullptr;
            platform_.attach(nullptr, nullptr);
            break;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize.x = app_.minWidth;
            limits->ptMinTrackSize.y = app_.minHeight;
            return 0;
        }
        case WM_COMMAND:
            if (onAccelerator(LOWORD(wParam))) {
                return 0;
            }
            break;
        case WM_ACTIVATE:
            if (onActivate(LOWORD(wParam), HIWORD(wParam) != 0)) {
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Shell::onDropFiles(HDROP drop) {
    // The editor holds one document: of several files dropped, the first.
    std::string path;
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
        name.resize(DragQueryFileW(drop, 0, name.data(), length + 1));
        path = narrow(name);
    }
    DragFinish(drop);
    if (!path.empty() && platform_.isControlEnabled(IDC_LOAD)) {
        openDroppedFile(app_, path);
    }
}

void Shell::layoutPanel(WPARAM wParam, LPARAM lParam) {
    // During creation the panel does not exist yet; minimised, there is nothing to show.
    if (panel_ == nullptr || wParam == SIZE_MINIMIZED) {
        return;
    }
    SendMessageA(mainWindow_, WM_SETREDRAW, FALSE, 0);
    RECT client{};
    GetClientRect(mainWindow_, &client);
    const int width = client.right - client.left;
    int panelHeight = client.bottom - client.top;
    if (statusBar_ != nullptr) {
        SendMessageA(statusBar_, WM_SIZE, wParam, lParam);
        RECT status{};
        GetClientRect(statusBar_, &status);
        panelHeight -= status.bottom - status.top;
    }
    SetWindowPos(panel_, nullptr, 0, 0, width, panelHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlPlacement& placement :
         panelLayout(width, panelHeight, app_.dpiX, app_.dpiY)) {
        const Edges& e = placement.edges;
        moveControl(panel_, control(placement.controlId), e.left, e.top, e.right, e.bottom, true);
    }
    SendMessageA(mainWindow_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(mainWindow_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT Shell::onClose() {
    if (app_.modified() && !platform_.askYesNo(kConfirmationCaption, kQuitQuestion)) {
        return 0;
    }
    DestroyWindow(mainWindow_);
    return 0;
}

void Shell::onDestroy() {
    app_.resetDocument();
    PostQuitMessage(0);
}

bool Shell::onAccelerator(int commandId) {
    switch (commandId) {
        case IDM_SELECT_ALL: {
            const HWND pane = control(IDC_CONTENT);
            if (pane != nullptr && GetFocus() == pane) {
                SendMessageA(pane, EM_SETSEL, 0, -1);
                return true;
            }
            return false;
        }
        case IDM_OPEN:
            if (platform_.isControlEnabled(IDC_LOAD)) {
                openDocument(app_, std::nullopt);
            }
            return false;
        case IDM_SAVE:
            if (platform_.isControlEnabled(IDC_SAVE)) {
                saveDocument(app_);
            }
            return false;
        case IDM_PROPERTIES:
            showProperties();
            return true;
        case IDM_CHECK_FILE:
            checkFile();
            return true;
        case IDM_UNDO:
            // Anywhere in the window, the pane too: typing there is a step of the document's
            // history, so the edit control's own undo would disagree with it.
            undo(app_);
            return true;
        case IDM_REDO:
            redo(app_);
            return true;
        default:
            return false;
    }
}

bool Shell::Panel::onCommand(int id, int code) {
    shell_.onPanelCommand(id, code);
    return false;
}

INT_PTR Shell::Panel::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return shell_.onPanelMessage(message, wParam, lParam);
}

void Shell::Panel::reportFailure(std::string_view message) {
    shell_.app_.showError(message);
}

void Shell::onPanelCommand(int id, int code) {
    // The pane's text replaced by the program is no edit of the box.
    if (id == IDC_CONTENT && code == EN_CHANGE && platform_.settingText()) {
        return;
    }
    if (id == IDC_ADD) {
        addFromUser();
        return;
    }
    panelCommand(app_, id, code);
}

INT_PTR Shell::onPanelMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NOTIFY: {
            auto& header = *reinterpret_cast<NMHDR*>(lParam);
            if (header.idFrom == IDC_LIST && header.code == NM_CUSTOMDRAW) {
                SetWindowLongPtrW(panel_, DWLP_MSGRESULT,
                                  boxes_.customDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header)));
                return TRUE;
            }
            onListNotify(header);
            return FALSE;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == control(IDC_LIST)) {
                onListContextMenu(lParam);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void Shell::onListNotify(const NMHDR& header) {
    if (header.idFrom != IDC_LIST) {
        return;
    }
    switch (header.code) {
        case LVN_KEYDOWN: {
            const int key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
            if (key == VK_INSERT) {
                addFromUser();
            } else {
                listKeyDown(app_, key);
            }
            break;
        }
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            listItemChanged(app_, change.iItem, change.uChanged);
            choosePaneFont();
            break;
        }
        case LVN_ITEMACTIVATE: {
            const auto& activation = reinterpret_cast<const NMITEMACTIVATE&>(header);
            listItemChanged(app_, activation.iItem, activation.uChanged);
            break;
        }
        default:
            break;
    }
}

bool Shell::onActivate(int state, bool minimized) {
    // The panel is a child dialog, whose focus the system does not keep: without this, the
    // keyboard would reach nothing after every message box and dialog until a click.
    if (state == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(mainWindow_, focus)) {
            savedFocus_ = focus;
        }
        return false;
    }
    if (minimized) {
        return false;
    }
    HWND target = savedFocus_;
    if (target == nullptr || !IsChild(mainWindow_, target) || !IsWindowEnabled(target) ||
        !IsWindowVisible(target)) {
        target = control(IDC_LIST);
    }
    if (target == nullptr) {
        return false;
    }
    SetFocus(target);
    return true;
}

void Shell::onListContextMenu(LPARAM lParam) {
    const HWND list = control(IDC_LIST);
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1) {
        at = keyboardMenuPoint(list);
    } else {
        // As Explorer does: the menu acts on the row clicked, so that row is selected first.
        LVHITTESTINFO hit{};
        hit.pt = at;
        ScreenToClient(list, &hit.pt);
        const auto row =
            static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (row >= 0 && row != boxes_.selectedRow()) {
            LVITEMW item{};
            item.state = LVIS_SELECTED | LVIS_FOCUSED;
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    const int command = trackListMenu(mainWindow_, at, [this](int id) {
        switch (id) {
            case IDM_PROPERTIES:
                return boxes_.selectedRow() >= 0;
            case IDM_ADD_XMP:
                // Add is enabled exactly while a document is open.
                return platform_.isControlEnabled(IDC_ADD) && xmpRow(boxes_) < 0;
            case IDM_SET_GEOREF:
                return platform_.isControlEnabled(IDC_ADD) && jp2HeaderRow(boxes_) >= 0;
            case IDC_PAYLOAD_SAVE:
                return canExportPayload(boxes_);
            case IDM_UNDO:
                return canUndo(app_);
            case IDM_REDO:
                return canRedo(app_);
            case IDM_CHECK_FILE:
                // Without a file the dialog says there is nothing to check.
                return true;
            default:
                return platform_.isControlEnabled(id);
        }
    });
    runListCommand(command);
}

void Shell::runListCommand(int command) {
    switch (command) {
        case 0:
            break;
        case IDM_PROPERTIES:
            showProperties();
            break;
        case IDC_ADD:
            addFromUser();
            break;
        case IDM_ADD_XMP:
            if (xmpRow(boxes_) < 0 && setXmpPacket(app_, kEmptyXmpPacket)) {
                boxes_.selectRow(xmpRow(boxes_));
            }
            break;
        case IDM_SET_GEOREF:
            runGeoreferencingCommand(instance_, mainWindow_, app_);
            break;
        case IDM_CHECK_FILE:
            checkFile();
            break;
        case IDC_PAYLOAD_SAVE:
            exportBoxPayload(app_);
            break;
        case IDM_UNDO:
            undo(app_);
            break;
        case IDM_REDO:
            redo(app_);
            break;
        default:
            panelCommand(app_, command, BN_CLICKED);
            break;
    }
}

void Shell::addFromUser() {
    if (!addBox(app_)) {
        return;
    }
    const Box* added = boxes_.boxAt(boxes_.selectedRow());
    if (added != nullptr && added->isEditable()) {
        SetFocus(control(IDC_CONTENT));
    }
}

void Shell::showProperties() {
    const int row = boxes_.selectedRow();
    if (row < 0) {
        return;
    }
    // The dialog names its box, not its row: each action first finds the box where it is now.
    // The actions run inside the dialog's procedure, whose barrier reports what they throw.
    const BoxRef shown = app_.refer(row);
    const auto onShown = [this, shown](auto action) {
        return
            [this, shown, action](HWND owner) { return app_.liveRow(shown) >= 0 && action(owner); };
    };
    PropertiesActions actions;
    actions.title = propertiesTitle(app_, row);
    actions.describe = [this, shown] { return propertiesText(app_, app_.rowOf(shown)); };
    if (row == xmpRow(boxes_)) {
        actions.editXmp =
            onShown([this](HWND owner) { return runXmpDialog(instance_, owner, app_); });
    }
    if (row == jp2HeaderRow(boxes_)) {
        actions.editResolution =
            onShown([this](HWND owner) { return runResolutionDialog(instance_, owner, app_); });
        actions.exportProfile = onShown([this](HWND) { return exportProfileToFile(app_); });
        actions.importProfile = onShown([this](HWND) { return importProfileFromFile(app_); });
    }
    runPropertiesDialog(instance_, mainWindow_, actions, propertiesSize_);
}

void Shell::checkFile() {
    const int row = runCheckDialog(instance_, mainWindow_, checkDocument(app_));
    if (row >= 0) {
        boxes_.selectRow(row);
        SetFocus(control(IDC_LIST));
    }
}

void Shell::choosePaneFont() {
    const Box* box = boxes_.boxAt(boxes_.selectedRow());
    const bool report = box != nullptr && box->type == kTypeJp2c;
    const HWND pane = control(IDC_CONTENT);
    if (pane == nullptr || report == paneFixedPitch_) {
        return;
    }
    if (report && !paneFont_) {
        paneFont_ = fixedPitchFont(pane);
    }
    // The codestream report is a table: its columns line up only in a fixed-pitch font.
    const HFONT font = report && paneFont_
                           ? paneFont_.get()
                           : reinterpret_cast<HFONT>(SendMessageW(panel_, WM_GETFONT, 0, 0));
    SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    paneFixedPitch_ = report;
}

void moveControl(HWND parent, HWND control, int left, int top, int right, int bottom,
                 bool repaint) {
    if (control == nullptr) {
        return;
    }
    RECT window{};
    GetWindowRect(control, &window);
    POINT corner{window.left, window.top};
    ScreenToClient(parent, &corner);
    const Edges current{corner.x, corner.y, corner.x + (window.right - window.left),
                        corner.y + (window.bottom - window.top)};
    const Edges moved = resolveMove(current, {left, top, right, bottom});
    MoveWindow(control, moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top,
               repaint ? TRUE : FALSE);
}

int run(HINSTANCE instance, std::string_view commandLineTail) {
    Shell shell(instance);
    if (!shell.createWindows()) {
        return 0;
    }
    shell.openFromTail(commandLineTail);
    return shell.messageLoop();
}

}  // namespace bq::win32
