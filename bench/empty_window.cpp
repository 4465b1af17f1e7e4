// The reference for the start-up benchmarks: an empty QtWebEngine window that loads
// about:blank. It reports on stderr, as corvale does with CORVALE_TRACE=1, when its window first
// shows on screen and when the page has loaded, in milliseconds since it started:
//     shown 380
//     loaded 640 ok
#include "app/starttrace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineView>

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QApplication application(argc, argv);
    // A window holding the view, as corvale's window holds its browser.
    QWidget window;
    window.resize(1024, 700);
    QWebEngineView view(&window);
    view.resize(window.size());
    app::StartTrace trace(clock);
    QObject::connect(&view, &QWebEngineView::loadFinished, &trace, &app::StartTrace::loaded);
    view.load(QUrl(QStringLiteral("about:blank")));
    window.show();
    return application.exec();
}
