#pragma once
// Start-up and wiring: builds the program's long-lived objects, connects them
// through their interfaces, runs the main dialog until the operator closes it
// and takes everything down again, in an order that lets no thread call into
// an object that is already gone. Needs a QApplication; returns the exit
// code, which is always 0.

namespace zr8::ui {

int runProgram();

}  // namespace zr8::ui
