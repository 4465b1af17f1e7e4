#pragma once

namespace webkit {

// Prints "NAME VERSION (MAKER)" from the application's name, version and organisation, as
// `--version` answers; returns the exit status.
int printVersion();

} // namespace webkit
