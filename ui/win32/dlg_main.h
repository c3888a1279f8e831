// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main dialog from template 100: the program's only top-level window.
// Its dialog procedure hands clicks and notifications to the rules
// (rules::MainDialogPresenter), which decide what is shown and sent.
//
// Threads. Everything here runs on the user-interface thread except
// postUserMessage, which the model calls from the link's threads: it posts
// WM_USER with the code and the argument to the window, and the dialog
// procedure hands them to the model's dispatch, which calls back the
// presenter. The secondary dialogs run modally over this one; their message
// loops keep delivering those messages, so the status line and the
// positions keep updating while they are open.

#include <windows.h>

#include <atomic>
#include <memory>

#include "app/wm_user_sender.h"

namespace zr8 {
class AppModel;
class iMainDlgCallback;
class iZR6Control;
class PortCatalogue;
}  // namespace zr8

namespace zr8::win32 {

class DlgMain final : public iWMUserSender {
public:
    // `link`, `model` and `ports` belong to start-up and outlive the dialog.
    DlgMain(HINSTANCE instance, iZR6Control& link, AppModel& model, PortCatalogue& ports);
    ~DlgMain();
    DlgMain(const DlgMain&) = delete;
    DlgMain& operator=(const DlgMain&) = delete;

    // What the model calls back: the dialog's rules.
    iMainDlgCallback& callback();

    // iWMUserSender: any thread. False before the window exists and once it
    // has been destroyed.
    bool postUserMessage(int32_t code, int32_t argument) override;

    // Runs the dialog modally, with no owner, until the close command ends it.
    void run();

    // The same dialog without a loop of its own, for tests that drive it;
    // ended() says when the close command has ended it.
    HWND create();
    bool ended() const { return ended_; }

    // Null before WM_INITDIALOG and after WM_NCDESTROY.
    HWND window() const { return window_.load(std::memory_order_acquire); }

private:
    class View;  // what the rules see of this dialog, and the rules themselves

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onInitDialog(HWND window);
    void onPortList(int notification);
    void showPortList();
    // Ends the dialog with 1 whatever is open over it: the secondary
    // dialogs are closed unanswered and nothing is sent to the link.
    void end();

    HINSTANCE instance_;
    AppModel& model_;
    std::unique_ptr<View> view_;
    std::atomic<HWND> window_{nullptr};
    HBITMAP arrows_[4] = {};
    HICON icons_[2] = {};
    bool ending_ = false;
    bool ended_ = false;
};

}  // namespace zr8::win32
