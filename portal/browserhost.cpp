#include "portal/browserhost.h"

#include "portal/links.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace portal {

namespace {

const QString kScriptName = QStringLiteral("portal-external");
const QString kChannelObject = QStringLiteral("external");

// Defines window.external in a new document. The channel library is wrapped in the same
// function so that it leaves no names behind in the page. Until the channel is connected the
// values are those the window had when the document was created, and HelloWorld calls wait in
// a queue; once connected the values follow the window and the queue is sent in order.
// The channel reaches the top document only: a frame hands its calls to the top document, which
// takes them only from frames inside it. A frame's values are those of its creation.
const char kBridge[] = R"JS(
    var values = %1;
    var relayKey = %2;
    var isTop = window.top === window;
    var remote = null;
    var waiting = [];
    function value(name) {
        return remote ? remote[name] : values[name];
    }
    function call(URL) {
        if (remote)
            remote.HelloWorld(URL);
        else
            waiting.push(URL);
    }
    var external = Object.freeze({
        HelloWorld: function (URL) {
            // Only text is a link; anything else, no argument included, starts nothing.
            if (typeof URL !== 'string')
                return;
            if (isTop) {
                call(URL);
                return;
            }
            var message = {};
            message[relayKey] = URL;
            try {
                window.top.postMessage(message, '*');
            } catch (e) {
            }
        },
        get edurl() { return value('edurl'); },
        get qjym() { return value('qjym'); },
        get anzt() { return value('anzt'); }
    });
    try {
        Object.defineProperty(window, 'external',
                              { value: external, writable: false, configurable: false });
    } catch (e) {
    }
    if (!isTop)
        return;

    function isInnerFrame(source, frames, depth) {
        for (var i = 0; i < frames.length; ++i) {
            if (frames[i] === source || (depth < 16 && isInnerFrame(source, frames[i].frames, depth + 1)))
                return true;
        }
        return false;
    }
    window.addEventListener('message', function (event) {
        var data = event.data;
        if (!data || typeof data !== 'object' || typeof data[relayKey] !== 'string' ||
            Object.keys(data).length !== 1 || !isInnerFrame(event.source, window.frames, 0))
            return;
        call(data[relayKey]);
    });

    var connected = false;
    function connect() {
        if (connected || typeof qt !== 'object' || !qt || !qt.webChannelTransport)
            return;
        connected = true;
        new QWebChannel(qt.webChannelTransport, function (channel) {
            remote = channel.objects.%3;
            var calls = waiting;
            waiting = [];
            for (var i = 0; i < calls.length; ++i)
                remote.HelloWorld(calls[i]);
        });
    }
    connect();
    if (!connected)
        document.addEventListener('DOMContentLoaded', connect);
)JS";

QString channelLibrary() {
    QFile f(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace

External::External(Launch launch, const Links* links, QObject* parent)
    : QObject(parent), launch_(std::move(launch)), links_(links) {
    // Queued: the signal goes out once the event loop has had its turn, and edurl is read then,
    // as the list stands.
    connect(links_, &Links::changed, this, &External::edurlChanged, Qt::QueuedConnection);
    setObjectName(kChannelObject);
    // The channel publishes QObject's own writable property, the name, along with the values;
    // a page that writes it finds it unchanged.
    connect(this, &QObject::objectNameChanged, this, [this] { setObjectName(kChannelObject); });
}

QString External::edurl() const {
    return links_->edurl();
}

void External::setQjym(const QString& qjym) {
    if (qjym == qjym_)
        return;
    qjym_ = qjym;
    Q_EMIT qjymChanged();
}

void External::setAnzt(int anzt) {
    if (anzt == anzt_)
        return;
    anzt_ = anzt;
    Q_EMIT anztChanged();
}

void External::HelloWorld(const QJsonValue& URL) {
    // The channel would turn a number, a boolean or null into text; only text is a link.
    if (URL.isString() && launch_)
        launch_(URL.toString());
}

BrowserHost::BrowserHost(QWebEngineView* view, External* external)
    : QObject(view), view_(view), external_(external), channel_(new QWebChannel(this)),
      channelLibrary_(channelLibrary()) {
    view->setContextMenuPolicy(Qt::NoContextMenu);

    channel_->registerObject(kChannelObject, external_);
    view->page()->setWebChannel(channel_, QWebEngineScript::MainWorld);
    installScript();
    connect(external_, &External::edurlChanged, this, &BrowserHost::installScript);
    connect(external_, &External::qjymChanged, this, &BrowserHost::installScript);
    connect(external_, &External::anztChanged, this, &BrowserHost::installScript);
}

void BrowserHost::installScript() {
    if (!view_)
        return;
    const QJsonObject values{{QStringLiteral("edurl"), external_->edurl()},
                             {QStringLiteral("qjym"), external_->qjym()},
                             {QStringLiteral("anzt"), external_->anzt()}};
    const QString bridge = QString::fromLatin1(kBridge).arg(
        QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)),
        QStringLiteral("'corvale.external.HelloWorld'"), kChannelObject);

    QWebEngineScript script;
    script.setName(kScriptName);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(QStringLiteral("(function () {\n'use strict';\nvar module;\n") +
                         channelLibrary_ + QStringLiteral("\n") + bridge +
                         QStringLiteral("\n})();\n"));

    QWebEngineScriptCollection& scripts = view_->page()->scripts();
    for (const QWebEngineScript& old : scripts.find(kScriptName))
        scripts.remove(old);
    scripts.insert(script);
}

} // namespace portal
