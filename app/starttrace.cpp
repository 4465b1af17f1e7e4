#include "app/starttrace.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include <cstdio>

namespace app {

StartTrace::StartTrace(const QElapsedTimer& clock, QObject* parent)
    : QObject(parent), clock_(clock) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool StartTrace::wanted() {
    return qgetenv("CORVALE_TRACE") == "1";
}

void StartTrace::loaded(bool ok) {
    if (loaded_)
        return;
    loaded_ = true;
    std::fprintf(stderr, "loaded %lld %s\n", clock_.elapsed(), ok ? "ok" : "failed");
    std::fflush(stderr);
}

bool StartTrace::eventFilter(QObject* watched, QEvent* event) {
    if (!shown_ && event->type() == QEvent::Expose && watched->isWindowType() &&
        static_cast<QWindow*>(watched)->isExposed()) {
        shown_ = true;
        std::fprintf(stderr, "shown %lld\n", clock_.elapsed());
        std::fflush(stderr);
    }
    return false;
}

} // namespace app
