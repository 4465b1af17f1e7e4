#pragma once

#include <QStringList>

namespace portal {

// `corvale --search KEYWORD [--json]`: runs the link search without a window and prints one
// line per result row. Returns -1 when the arguments do not ask for it, so that the window
// opens as usual; otherwise the exit status: 0 links found, 1 none, 2 usage error.
int headlessSearch(const QStringList& args);

// The usage line printed on a usage error.
QString headlessUsage();

} // namespace portal
