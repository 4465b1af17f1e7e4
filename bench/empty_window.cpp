// The reference for the start-up benchmarks: an empty QtWebEngine window that loads
// about:blank. It reports on stderr, as corvale does with CORVALE_TRACE=1, when its window first
// shows on screen and when the page has loaded, in milliseconds since it started:
//     shown 380
//     loaded 640 ok
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWebEngineView>
#include <QWindow>

#include <cstdio>

namespace {

class ShownTrace : public QObject {
public:
    explicit ShownTrace(const QElapsedTimer& clock) : clock_(clock) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!shown_ && event->type() == QEvent::Expose && watched->isWindowType() &&
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
};

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    // A window holding the view, as corvale's window holds its browser. The window's native
    // handle may be made anew as the view sets up, so every window's events are watched.
    QWidget window;
    window.resize(1024, 700);
    QWebEngineView view(&window);
    view.resize(window.size());
    ShownTrace trace(clock);
    app.installEventFilter(&trace);
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) {
        if (loaded)
            return;
        loaded = true;
        std::fprintf(stderr, "loaded %lld %s\n", clock.elapsed(), ok ? "ok" : "failed");
        std::fflush(stderr);
    });
    view.load(QUrl(QStringLiteral("about:blank")));
    window.show();
    return app.exec();
}
