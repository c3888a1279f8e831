// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/dlg_main.h"

#include <commctrl.h>

#include <string>

#include "app/app_model.h"
#include "resources/windows/resource_ids.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/main_dialog_presenter.h"
#include "ui/rules/main_dialog_view.h"
#include "ui/rules/port_list.h"
#include "ui/win32/about_dialog.h"
#include "ui/win32/dialog_items.h"
#include "ui/win32/encoder_format_dialog.h"
#include "ui/win32/meridian_flip_dialog.h"
#include "ui/win32/port_name_dialog.h"

namespace zr8::win32 {

using namespace rules::main_ids;

class DlgMain::View final : public rules::iMainDialogView {
public:
    View(DlgMain& dialog, iZR6Control& link, AppModel& model, PortCatalogue& ports)
        : dialog(dialog), portList(ports), presenter(*this, link, model) {}

    rules::iDialogControls& controls() override { return items; }
    uint8_t selectedPortNumber() const override { return portList.selectedNumber(); }
    void refuse(const rules::Refusal& refusal) override { showRefusal(items.dialog(), refusal); }
    std::optional<WireFormat> runFormatDialog(const EncoderConfig& current) override {
        if (dialog.ending_) return std::nullopt;
        std::optional<WireFormat> format =
            runEncoderFormatDialog(dialog.instance_, items.dialog(), current);
        if (dialog.ending_) return std::nullopt;  // closed with the program
        return format;
    }
    std::optional<FlipChoice> runFlipDialog(int flipCase) override {
        if (dialog.ending_) return std::nullopt;
        const FlipChoice choice = runMeridianFlipDialog(dialog.instance_, items.dialog(), flipCase);
        if (dialog.ending_) return std::nullopt;  // closed unanswered with the program
        return choice;
    }
    void runAbout() override {
        if (!dialog.ending_) runAboutDialog(dialog.instance_, items.dialog());
    }

    DlgMain& dialog;
    DialogItems items;
    rules::PortList portList;
    rules::MainDialogPresenter presenter;
};

DlgMain::DlgMain(HINSTANCE instance, iZR6Control& link, AppModel& model, PortCatalogue& ports)
    : instance_(instance),
      model_(model),
      view_(std::make_unique<View>(*this, link, model, ports)) {}

DlgMain::~DlgMain() {
    if (HWND window = this->window(); window != nullptr && ::IsWindow(window)) {
        ::DestroyWindow(window);
    }
    for (HBITMAP bitmap : arrows_) {
        if (bitmap != nullptr) ::DeleteObject(bitmap);
    }
    for (HICON icon : icons_) {
        if (icon != nullptr) ::DestroyIcon(icon);
    }
}

iMainDlgCallback& DlgMain::callback() { return view_->presenter; }

bool DlgMain::postUserMessage(int32_t code, int32_t argument) {
    HWND window = this->window();
    if (window == nullptr) return false;
    return ::PostMessageW(window, WM_USER, static_cast<WPARAM>(code),
                          static_cast<LPARAM>(argument)) != FALSE;
}

void DlgMain::run() {
    ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, dialogProc,
                      reinterpret_cast<LPARAM>(this));
    ended_ = true;
}

HWND DlgMain::create() {
    HWND window = ::CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, dialogProc,
                                       reinterpret_cast<LPARAM>(this));
    if (window != nullptr) ::ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

INT_PTR CALLBACK DlgMain::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        reinterpret_cast<DlgMain*>(lParam)->onInitDialog(window);
        return TRUE;  // the focus goes to the first control that takes it: the port list
    }
    auto* dialog = reinterpret_cast<DlgMain*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return dialog != nullptr ? dialog->handle(message, wParam, lParam) : FALSE;
}

INT_PTR DlgMain::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (ending_) return TRUE;
        if (id == IdPortList) {
            onPortList(HIWORD(wParam));
            return TRUE;
        }
        return view_->presenter.onCommand(id) ? TRUE : FALSE;
    }
    case WM_USER:
        model_.dispatch(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
        return TRUE;
    case WM_CLOSE:
        end();
        return TRUE;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{200, 200};
        return TRUE;
    case WM_SIZE:
    case WM_HSCROLL:
        return TRUE;  // the speed is read when an arrow is clicked
    case WM_NCDESTROY:
        // The handle may soon name another window: notifications from now
        // on go nowhere.
        window_.store(nullptr, std::memory_order_release);
        return FALSE;
    default:
        return FALSE;
    }
}

void DlgMain::onInitDialog(HWND window) {
    window_.store(window, std::memory_order_release);
    view_->items.attach(window);

    // The program's icon in the title bar and the task bar.
    for (int big = 0; big < 2; ++big) {
        const int size = ::GetSystemMetrics(big != 0 ? SM_CXICON : SM_CXSMICON);
        icons_[big] = static_cast<HICON>(
            ::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, size, size, 0));
        if (icons_[big] != nullptr) {
            ::SendMessageW(window, WM_SETICON, big != 0 ? ICON_BIG : ICON_SMALL,
                           reinterpret_cast<LPARAM>(icons_[big]));
        }
    }

    // A bitmap that does not load leaves its button without an image.
    const struct {
        int bitmap;
        int button;
    } arrows[4] = {{IDB_ARROW_UP, IdUp},
                   {IDB_ARROW_DOWN, IdDown},
                   {IDB_ARROW_LEFT, IdLeft},
                   {IDB_ARROW_RIGHT, IdRight}};
    for (size_t i = 0; i < 4; ++i) {
        arrows_[i] = ::LoadBitmapW(instance_, MAKEINTRESOURCEW(arrows[i].bitmap));
        ::SendDlgItemMessageW(window, arrows[i].button, BM_SETIMAGE, IMAGE_BITMAP,
                              reinterpret_cast<LPARAM>(arrows_[i]));
    }

    ::SendDlgItemMessageW(window, IdSpeed, TBM_SETRANGE, FALSE, MAKELPARAM(0, kSpeedMax));
    ::SendDlgItemMessageW(window, IdSpeed, TBM_SETPOS, TRUE, kSpeedStart);

    view_->presenter.onInit();

    // The opened list is as wide as its names need, not as the box.
    RECT dropped{0, 0, 200, 0};
    ::MapDialogRect(window, &dropped);
    ::SendDlgItemMessageW(window, IdPortList, CB_SETDROPPEDWIDTH,
                          static_cast<WPARAM>(dropped.right), 0);
    showPortList();
}

// ---- port list ----------------------------------------------------------------

void DlgMain::showPortList() {
    HWND list = view_->items.item(IdPortList);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const rules::PortList::Row& row : view_->portList.rows()) {
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(row.label).c_str()));
    }
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(view_->portList.selectedRow()), 0);
}

void DlgMain::onPortList(int notification) {
    rules::PortList& ports = view_->portList;
    switch (notification) {
    case CBN_DROPDOWN:
        // A device attached since the last look shows up; the choice stays.
        ports.refresh();
        showPortList();
        break;
    case CBN_SELCHANGE: {
        const int row =
            static_cast<int>(::SendDlgItemMessageW(window(), IdPortList, CB_GETCURSEL, 0, 0));
        if (!ports.select(row)) break;
        // "Other device...": close the list before the prompt opens over it.
        ::SendDlgItemMessageW(window(), IdPortList, CB_SHOWDROPDOWN, FALSE, 0);
        const std::optional<std::string> typed = askPortName(instance_, window());
        std::string message;
        if (!ports.enterPath(typed ? std::optional<std::string_view>(*typed) : std::nullopt,
                             message, rules::kPortNameStart)) {
            ::MessageBoxW(window(), wide(message).c_str(), wide(windowText(window())).c_str(),
                          MB_OK | MB_ICONWARNING);
        }
        showPortList();
        break;
    }
    default:
        break;
    }
}

// ---- closing ------------------------------------------------------------------

namespace {

bool ownedBy(HWND window, HWND owner) {
    for (HWND up = ::GetWindow(window, GW_OWNER); up != nullptr; up = ::GetWindow(up, GW_OWNER)) {
        if (up == owner) return true;
    }
    return false;
}

}  // namespace

void DlgMain::end() {
    ending_ = true;
    HWND main = window();
    // Every dialog and message box over this one ends unanswered; each one's
    // loop returns as the calls that opened them unwind, then ours.
    struct Over {
        HWND main;
    } over{main};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            HWND mainWindow = reinterpret_cast<Over*>(context)->main;
            wchar_t className[16] = {};
            ::GetClassNameW(window, className, 16);
            if (window != mainWindow && std::wstring(className) == L"#32770" &&
                ownedBy(window, mainWindow)) {
                ::EndDialog(window, IDCANCEL);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&over));
    ended_ = true;
    ::EndDialog(main, 1);
}

}  // namespace zr8::win32
