#pragma once

#include <QElapsedTimer>

// The portal window lives in a module of its own, window/corvale-window.so in the program's
// folder, which the program loads only when it opens the window. `corvale --search`, --help and --version so
// start without the browser engine's libraries, whose loading takes most of a start otherwise.
namespace portal {

// The module's file, from the program's own folder. (A folder of its own keeps it out of the
// folders that the system's library cache reads.)
inline constexpr char kWindowModule[] = "window/corvale-window.so";
// Its one entry: runs the portal window on the display and returns the program's exit status.
// `clock` runs since the program started (for the start trace).
inline constexpr char kWindowEntry[] = "corvale_run_window";
using WindowEntry = int (*)(int* argc, char** argv, const QElapsedTimer* clock);

} // namespace portal
