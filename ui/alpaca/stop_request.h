// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the operator ends the server: Ctrl+C or SIGTERM (SIGHUP too) on
// Linux; Ctrl+C, Ctrl+Break or closing the console window on Windows.
//
// Threads: prepare() on the main thread before any other thread starts (so
// that the signals reach only wait()); wait() there; done() once the server
// has been taken down.

namespace zr8::alpaca {

void prepareStopRequest();
void waitForStopRequest();
void stopRequestDone();

}  // namespace zr8::alpaca
