#pragma once

class QString;

namespace app {

// Prints "NAME VERSION (MAKER)" from the application's name, version and organisation, as
// `--version` answers; returns the exit status.
int printVersion();

// Prints a help text on stdout, as `--help` answers; returns the exit status.
int printHelp(const QString& text);

} // namespace app
