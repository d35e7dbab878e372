#pragma once

class QApplication;

namespace FuzzSupport {

// The one application object of a fuzz target, on the offscreen platform,
// with debug and warning lines silenced (they would dominate the run time).
// Fatal messages still abort, so the fuzzer sees them as crashes.
QApplication &guiApp();

} // namespace FuzzSupport
