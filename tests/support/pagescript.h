#pragma once

#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

#include <memory>
#include <optional>

// Runs a script in the page and waits for its result; a text saying so when the page gives no
// answer within ten seconds. The answer may come after the wait has ended, so it is kept in a
// shared place that outlives the wait.
inline QVariant js(QWebEnginePage* page, const QString& script) {
    auto result = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [result](const QVariant& v) { *result = v; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, 10000))
        return QStringLiteral("<no answer from the page>");
    return **result;
}
