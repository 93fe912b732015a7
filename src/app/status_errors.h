#pragma once

#include <functional>

class QStatusBar;

namespace tbp {

// How long a failure of a page handler stays in the status bar.
inline constexpr int kErrorMessageTimeoutMs = 10000;
// How long a note on what the program did by itself (a repaired header, a chip's needs) stays.
inline constexpr int kNoteTimeoutMs = 15000;

// Runs work; an exception derived from std::exception is shown in the status bar as
// "Error: <message>", any other exception as "Error", each for 10 seconds. Nothing escapes, so
// a failing handler run from a timer or a signal leaves the window usable. Returns true when
// the work finished without an exception.
bool runReportingErrors(QStatusBar& statusBar, const std::function<void()>& work);

}  // namespace tbp
