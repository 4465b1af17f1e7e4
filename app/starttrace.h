#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace app {

// Reports on stderr when the program's first window shows on screen and when its first page has
// loaded, in milliseconds since `clock` started (the start-up benchmarks read these lines):
//     shown 412
//     loaded 988 ok
// Every window's events are watched: a window's native handle may be made anew as a web view
// sets up. Connect the view's loadFinished to loaded().
class StartTrace : public QObject {
    Q_OBJECT
public:
    explicit StartTrace(const QElapsedTimer& clock, QObject* parent = nullptr);

    // Whether the environment asks for the trace: CORVALE_TRACE=1.
    static bool wanted();

public Q_SLOTS:
    void loaded(bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const QElapsedTimer& clock_;
    bool shown_ = false;
    bool loaded_ = false;
};

} // namespace app
