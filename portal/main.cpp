#include "portal/form1.h"
#include "portal/headless.h"

#include "app/about.h"
#include "app/display.h"
#include "app/memory.h"
#include "app/startup.h"
#include "app/starttrace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineView>

#include <cstdio>
#include <optional>

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

    const auto application = app::openDisplay<QApplication>(args.qtArgc(), args.qtArgv());
    std::optional<portal::Form1> form;
    app::withHelpersReturningLargeBlocks([&] { form.emplace(); });
    if (app::StartTrace::wanted()) {
        auto* trace = new app::StartTrace(clock, &*form);
        QObject::connect(form->WebBrowser1, &QWebEngineView::loadFinished, trace,
                         &app::StartTrace::loaded);
    }
    form->show();
    return application->exec();
}
