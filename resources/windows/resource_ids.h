// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Resource identifiers of the Windows program. The dialogs' control
// identifiers are the rules' (ui/rules/control_ids.h); the resource script
// spells them as numbers because windres cannot read C++.

#define IDD_MAIN 100
#define IDD_ENCODER_FORMAT 101
#define IDD_MERIDIAN_FLIP 103
#define IDD_ABOUT 104
#define IDD_PORT_NAME 120

#define IDB_ARROW_LEFT 100
#define IDB_ARROW_RIGHT 101
#define IDB_ARROW_UP 102
#define IDB_ARROW_DOWN 103

#define IDI_PROGRAM 1

#define IDC_STATIC -1
#define IDC_PORT_NAME 1001
