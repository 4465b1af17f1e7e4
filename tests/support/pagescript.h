#pragma once

#include <QPoint>
#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

// Runs a script in the page and waits for its result; a text saying so when the page gives no
// answer within ten seconds. The answer may come after the wait has ended, so it is kept in a
// shared place that outlives the wait.
inline QVariant js(QWebEnginePage* page, const QString& script) {
    auto result = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [result](const QVariant& v) { *result = v; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, 10000)) {
        qWarning("the page gave no answer to: %s", qPrintable(script));
        return QStringLiteral("<no answer from the page>");
    }
    return **result;
}

inline QVariant js(QWebEngineView* view, const QString& script) {
    return js(view->page(), script);
}

// The middle of the page's element `id`, in the view's coordinates; (-1, -1) when there is none.
inline QPoint elementCentre(QWebEngineView* view, const QString& id) {
    const QVariantList box =
        js(view, QStringLiteral("(function () { var e = document.getElementById('%1');"
                                " if (!e) return null; var r = e.getBoundingClientRect();"
                                " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                     .arg(id))
            .toList();
    return box.size() == 2 ? QPoint(qRound(box[0].toDouble()), qRound(box[1].toDouble()))
                           : QPoint(-1, -1);
}
