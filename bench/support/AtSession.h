#pragma once
// The assistive-technology mode of the window benchmarks: with "--at" on the command line, the
// benchmark runs again inside its own D-Bus session with the AT-SPI bus running and
// QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, as a program does for anyone using a screen reader or an
// on-screen keyboard. The window then pays what assistive tools cost it.
#include <memory>

class QApplication;

// Takes "--at" out of the arguments. Without it, returns false; with it, outside such a session,
// starts one and runs the benchmark inside it (does not return); inside, returns true.
bool EnterAssistiveSession(int& argc, char** argv);
// MakeBenchApp, then, in the assistive mode, waits until Qt's accessibility is active (exits
// with a message when it never becomes so: the platform must be xcb, for instance under Xvfb).
std::unique_ptr<QApplication> MakeAssistedBenchApp(int& argc, char** argv);
