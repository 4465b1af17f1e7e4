#pragma once

#include "support/pagescript.h"

#include <QSignalSpy>
#include <QString>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

// Whether the page holds the document at `url` and has loaded it completely, as the page itself
// says.
inline bool holdsComplete(QWebEnginePage* page, const QString& url) {
    return js(page, QStringLiteral("location.href + ' ' + document.readyState")).toString() ==
           url + QStringLiteral(" complete");
}

// Waits until the page holds the document at `url`, complete. For loads that began before
// anyone listened: the page's own state tells.
inline bool showsComplete(QWebEnginePage* page, const QString& url, int timeoutMs = 20000) {
    return QTest::qWaitFor([&] { return holdsComplete(page, url); }, timeoutMs);
}

// Waits until the page's document, whichever it is, reads "complete".
inline bool documentComplete(QWebEnginePage* page, int timeoutMs = 20000) {
    return QTest::qWaitFor(
        [&] { return js(page, QStringLiteral("document.readyState")) == QVariant("complete"); },
        timeoutMs);
}

// Waits until the page has been drawn twice over; from then on it takes mouse input.
inline bool painted(QWebEngineView* view) {
    js(view, QStringLiteral("window.painted = false; requestAnimationFrame(function () {"
                            " requestAnimationFrame(function () { window.painted = true; }); });"));
    return QTest::qWaitFor(
        [&] { return js(view, QStringLiteral("window.painted")) == QVariant(true); }, 10000);
}

// Loads `url` in the view and waits until it has loaded. A load already under way (the window's
// own, say) is superseded by this one, and WebEngine may then report the two as one, with a
// single loadFinished that comes before the new document is complete. So the load counts once a
// load has ended and the view holds this address's document, complete.
inline bool loadPage(QWebEngineView* view, const QString& url) {
    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    view->load(QUrl(url));
    return QTest::qWaitFor([&] { return !finished.isEmpty() && holdsComplete(view->page(), url); },
                           20000);
}
