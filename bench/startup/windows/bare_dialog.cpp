// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for zr8-setup.exe's start-up: the program's own main dialog
// template (resource 100, linked from the program's resource script) shown
// and nothing else. Registering the common controls is what showing the
// template needs (its speed trackbar); the dialog procedure fills in
// nothing and ends the dialog on the close command, as the program does.

#include <windows.h>

#include <commctrl.h>

#include "resources/windows/resource_ids.h"

namespace {

INT_PTR CALLBACK bareDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        ::EndDialog(window, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    if (!::InitCommonControlsEx(&controls)) return 1;
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, bareDialogProc, 0);
    return 0;
}
