// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for zr8-setup.exe's start-up: an empty dialog from a
// template, started, shown and closed the way zr8-setup.exe is (common
// controls registered, DialogBoxParamW, the same ZR8_EXIT_WHEN_SHOWN probe,
// the same manifest).

#include <windows.h>

#include <commctrl.h>

#include "ui/win32/shown_probe.h"

namespace {

INT_PTR CALLBACK emptyDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_SHOWWINDOW:
        if (wParam != FALSE && zr8::win32::shownProbeAsked()) {
            ::PostMessageW(window, WM_APP, 0, 0);
        }
        return FALSE;
    case WM_APP:
        zr8::win32::reportShown(window);
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
    if (!::InitCommonControlsEx(&controls)) return 0;
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, emptyDialogProc, 0);
    return 0;
}
