#pragma once

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWebChannel;
class QWebEngineView;

namespace portal {

class Links;

// What page script reaches as window.external: HelloWorld and three read-only values of the
// window. Nothing else of the window is published to pages.
class External : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString edurl READ edurl NOTIFY edurlChanged)
    Q_PROPERTY(QString qjym READ qjym NOTIFY qjymChanged)
    Q_PROPERTY(int anzt READ anzt NOTIFY anztChanged)
public:
    using Launch = std::function<void(const QString&)>;

    // `links` is the window's list, which must outlive the bridge. A change of the list reaches
    // pages (edurlChanged) on the next turn of the event loop: the bridge's script for
    // thousands of links takes longer to build than the result list takes to show them, and
    // the list goes first.
    External(Launch launch, const Links* links, QObject* parent = nullptr);

    // The window's links, each followed by "*"; made when read.
    QString edurl() const;
    QString qjym() const { return qjym_; }
    int anzt() const { return anzt_; }

    void setQjym(const QString& qjym);
    void setAnzt(int anzt);

public Q_SLOTS:
    // Starts the player with the text as its one argument; a value that is not text starts
    // nothing.
    void HelloWorld(const QJsonValue& URL);

Q_SIGNALS:
    void edurlChanged();
    void qjymChanged();
    void anztChanged();

private:
    Launch launch_;
    const Links* links_;
    QString qjym_;
    int anzt_ = 0;
};

// Hosts the pages of one browser view the way the portal wants them: no context menu, and
// window.external defined in every document, top page and frames alike, before any of the
// page's own script runs. Calls that a page makes before the bridge is connected wait and go out
// in order. (The browser's own behaviour, the navigation keys kept off among it, comes from
// browser::Browser.)
class BrowserHost : public QObject {
    Q_OBJECT
public:
    BrowserHost(QWebEngineView* view, External* external);

private:
    void installScript();

    QPointer<QWebEngineView> view_;
    External* external_;
    QWebChannel* channel_;
    QString channelLibrary_;
};

} // namespace portal
