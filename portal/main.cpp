#include "portal/headless.h"
#include "portal/windowmodule.h"

#include "app/about.h"
#include "app/memory.h"
#include "app/startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Loads the window module from the program's own folder and runs the window. When the module
// cannot be loaded, says so in one line, as for a display that cannot be opened.
int runWindow(int& argc, char** argv, const QElapsedTimer& clock) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string module = (self.parent_path() / portal::kWindowModule).string();
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = handle ? reinterpret_cast<portal::WindowEntry>(
                                    dlsym(handle, portal::kWindowEntry))
                              : nullptr;
    if (!entry) {
        std::fprintf(stderr, "corvale: cannot open a window: %s\n", dlerror());
        return 1;
    }
    // The module stays loaded until the process ends: its objects live until then.
    return entry(&argc, argv, &clock);
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    app::keepLargeBlocksUntilReturned();
    app::Arguments args(argc, argv);
    app::nameProgram(app::Program::Portal);

    const portal::CommandLine command = portal::readCommandLine(args.words());
    switch (command.action) {
    case portal::CommandLine::Action::Help:
        return app::printHelp(portal::usageText());
    case portal::CommandLine::Action::Version:
        // The name, version and maker, then out; no window, no network.
        return app::printVersion();
    case portal::CommandLine::Action::Usage: {
        const QByteArray text = (QStringLiteral("corvale: ") + command.problem +
                                 QStringLiteral("\n\n") + portal::usageText())
                                    .toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return 2;
    }
    case portal::CommandLine::Action::Search: {
        // The link search without a window: no display needed.
        QCoreApplication application(args.qtArgc(), args.qtArgv());
        return portal::headlessSearch(command);
    }
    case portal::CommandLine::Action::Window:
        break;
    }

    return runWindow(args.qtArgc(), args.qtArgv(), clock);
}
