// Waiting for a view's page to have loaded, as the window benchmarks do.
#pragma once

#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace bench {

// Whether the view's document reads "complete" within 30 s.
inline bool pageLoaded(QWebEngineView* view) {
    // Answers may come after the wait has ended, so the flag outlives it.
    auto done = std::make_shared<bool>(false);
    return QTest::qWaitFor(
        [&] {
            view->page()->runJavaScript(
                QStringLiteral("document.readyState"),
                [done](const QVariant& v) { *done = v.toString() == QLatin1String("complete"); });
            return *done;
        },
        30000);
}

} // namespace bench
