// lumetta: the player. Started with a link, it plays it; started with "qd" or nothing, it shows
// the vendor's link page and plays the link the page hands over.
#include "player/addresswatch.h"
#include "player/pellion.h"

#include "app/about.h"
#include "app/display.h"
#include "app/memory.h"
#include "app/startup.h"

#include <QApplication>
#include <QStringList>

#include <optional>

namespace {

QString usageText() {
    return QStringLiteral(
        "usage: lumetta [LINK | qd]\n"
        "       lumetta --help | --version\n"
        "\n"
        "Miravend, the cloud video player. Given a link, it asks the play API for the link's\n"
        "play address and plays the film in its window. Given \"qd\" or nothing, it shows the\n"
        "vendor's link page and plays the link chosen there.\n"
        "\n"
        "A link is an eD2k file link, ed2k://|file|NAME|SIZE|HASH|/ (NAME percent-encoded, SIZE\n"
        "in bytes). The whole command line is the link, its words joined by single blanks: it is\n"
        "not split, trimmed or unquoted, and a link is never read as an option. Only --help or\n"
        "--version standing alone are options:\n"
        "  --help            print this help and exit\n"
        "  --version         print the version and exit\n"
        "\n"
        "lumetta is the desktop's handler of ed2k: links (its desktop entry runs lumetta %u),\n"
        "and the player that corvale starts.\n"
        "\n"
        "Environment:\n"
        "  http_proxy        the proxy through which pages are fetched, http://HOST:PORT;\n"
        "                    unset, they are fetched directly\n"
        "  DISPLAY, WAYLAND_DISPLAY\n"
        "                    the display the window opens on\n"
        "\n"
        "Exit status: 0 when the window is closed, or after --help or --version; 1 when no\n"
        "display could be opened.\n");
}

} // namespace

int main(int argc, char** argv) {
    app::returnLargeBlocksWhenFreed();
    // The whole command line belongs to the player.
    app::Arguments args(argc, argv);
    const QStringList& arguments = args.words();
    const QString commandLine = lumetta::commandLineFrom(arguments);
    app::nameProgram(app::Program::Player);

    // `lumetta --version` or `lumetta --help`, that one argument alone, prints the version or the
    // usage and ends: no link is ever that text, so nothing the player could be asked to play is
    // lost. Any other command line is a link, "qd" or nothing.
    if (arguments == QStringList{QStringLiteral("--version")})
        return app::printVersion();
    if (arguments == QStringList{QStringLiteral("--help")})
        return app::printHelp(usageText());

    const auto application = app::openDisplay<QApplication>(args.qtArgc(), args.qtArgv());
    std::optional<lumetta::pellion> window;
    app::withHelpersReturningLargeBlocks([&] { window.emplace(commandLine); });
    window->Form_Load();
    window->show();
    return application->exec();
}
