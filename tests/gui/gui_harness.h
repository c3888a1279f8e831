// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the dialog tests share: a link that records every request, waiting
// for a condition while the event loop runs, and answering modal windows
// that open inside a click.

#include <QApplication>
#include <QWidget>

#include <functional>

#include "tests/support/recording_link.h"

namespace zr8::gui_test {

using test::RecordingLink;

// Runs the event loop until `condition` holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Calls `act` with the first modal window that opens after this call (and
// is not `except`), from inside that window's event loop. If none opens in
// time, or `act` leaves it open, it is rejected so no test hangs;
// answeredModals() then says so.
void onNextModal(std::function<void(QWidget*)> act, QWidget* except = nullptr);

// How many onNextModal calls found and answered their window in time.
int answeredModals();

// Clicks a child of `parent` with the given object name: a real mouse click.
// False when there is no such visible widget.
bool clickChild(QWidget* parent, const QString& name);

}  // namespace zr8::gui_test
