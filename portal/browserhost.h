#pragma once

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QWebChannel;
class QWebEngineView;

namespace portal {

// What page script reaches as window.external: HelloWorld and three read-only values of the
// window. Nothing else of the window is published to pages.
class External : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString edurl READ edurl NOTIFY edurlChanged)
    Q_PROPERTY(QString qjym READ qjym NOTIFY qjymChanged)
    Q_PROPERTY(int anzt READ anzt NOTIFY anztChanged)
public:
    using Launch = std::function<void(const QString&)>;

    explicit External(Launch launch, QObject* parent = nullptr);

    // The links, each followed by "*"; made when read, so that the links are kept only once.
    QString edurl() const;
    QString qjym() const { return qjym_; }
    int anzt() const { return anzt_; }

    void setLinks(const QStringList& links);
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
    QStringList links_;
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
