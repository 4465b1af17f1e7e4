#include "portal/form1.h"
#include "portal/headless.h"

#include "webkit/about.h"
#include "webkit/display.h"
#include "webkit/memory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWebEngineView>
#include <QWindow>

#include <cstdio>
#include <optional>

namespace {

// With CORVALE_TRACE=1 the program reports on stderr when its window first shows on screen
// and when the start page has loaded, in milliseconds since it started:
//     shown 412
//     loaded 988 ok
class StartTrace : public QObject {
public:
    StartTrace(portal::Form1& form, const QElapsedTimer& clock) : QObject(&form), clock_(clock) {
        form.winId();
        form.windowHandle()->installEventFilter(this);
        connect(form.WebBrowser1, &QWebEngineView::loadFinished, this, [this](bool ok) {
            if (loaded_)
                return;
            loaded_ = true;
            std::fprintf(stderr, "loaded %lld %s\n", clock_.elapsed(), ok ? "ok" : "failed");
            std::fflush(stderr);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!shown_ && event->type() == QEvent::Expose &&
            static_cast<QWindow*>(watched)->isExposed()) {
            shown_ = true;
            std::fprintf(stderr, "shown %lld\n", clock_.elapsed());
            std::fflush(stderr);
        }
        return false;
    }

private:
    const QElapsedTimer& clock_;
    bool shown_ = false;
    bool loaded_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    webkit::keepLargeBlocksUntilReturned();

    // Qt gets the program's name only: whatever the user passes is the program's own, and
    // must never be read as an option of Qt's.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QCoreApplication::setOrganizationName(QStringLiteral("Qarvo"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.01"));

    const portal::CommandLine command = portal::readCommandLine(args);
    switch (command.action) {
    case portal::CommandLine::Action::Help:
        return webkit::printHelp(portal::usageText());
    case portal::CommandLine::Action::Version:
        // The name, version and maker, then out; no window, no network.
        return webkit::printVersion();
    case portal::CommandLine::Action::Usage: {
        const QByteArray text = (QStringLiteral("corvale: ") + command.problem +
                                 QStringLiteral("\n\n") + portal::usageText())
                                    .toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return 2;
    }
    case portal::CommandLine::Action::Search: {
        // The link search without a window: no display needed.
        QCoreApplication app(qtArgc, qtArgv);
        return portal::headlessSearch(command);
    }
    case portal::CommandLine::Action::Window:
        break;
    }

    const auto app = webkit::openDisplay<QApplication>(qtArgc, qtArgv);
    std::optional<portal::Form1> form;
    webkit::withHelpersReturningLargeBlocks([&] { form.emplace(); });
    if (qgetenv("CORVALE_TRACE") == "1")
        new StartTrace(*form, clock);
    form->show();
    return app->exec();
}
