// The browser pieces that a window keeps by pointer, declared for the windows' headers.
#pragma once

class QWebEngineView;

namespace browser {
class Browser;
class Recovery;
} // namespace browser
