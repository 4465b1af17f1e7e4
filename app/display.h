#pragma once

#include <memory>

namespace app {

namespace detail {
void beginOpeningDisplay();
void endOpeningDisplay();
} // namespace detail

// Makes a window program's application object (QApplication). When no display can be opened,
// the program says so in one line on stderr, "NAME: cannot open a window: ...", and ends with
// status 1, where Qt would abort.
template <class Application>
std::unique_ptr<Application> openDisplay(int& argc, char** argv) {
    detail::beginOpeningDisplay();
    auto app = std::make_unique<Application>(argc, argv);
    detail::endOpeningDisplay();
    return app;
}

} // namespace app
