#include "portal/form1.h"

#include "browser/browser.h"
#include "browser/messages.h"
#include "browser/recovery.h"
#include "portal/browserhost.h"
#include "portal/links.h"
#include "webkit/versioncheck.h"

#include "vendor/hosts.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <iterator>

// Resources of a static library are not registered on their own.
static void initPortalResources() {
    Q_INIT_RESOURCE(portal);
}

namespace portal {

namespace {

int px(double twips) {
    return browser::twipsToPixels(twips);
}

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(px(left), px(top), px(width), px(height));
}

// How long the version check waits at most for the start page to begin arriving.
constexpr int kVersionCheckLatestMs = 2000;

const QString kPlaceholder = QStringLiteral(" 请在这里输入关键字");
const QString kTooManyPlayersMessage =
    QStringLiteral("打开的播放器太多了，请先关闭一些播放器再播放。");

} // namespace

namespace {

// A bitmap of the window; on a high-density screen its double-size drawing, shown at the same
// size in device-independent pixels.
QPixmap bitmap(const char* name) {
    const QString file = QStringLiteral(":/portal/") + QString::fromLatin1(name);
    if (qApp->devicePixelRatio() > 1.0) {
        QPixmap sharp(QString(file).replace(QStringLiteral(".png"), QStringLiteral("@2x.png")));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap(file);
}

// Each resize assignment on its own: one that the control cannot take (a negative size) is
// skipped and leaves the control as it was.
void setLeft(QWidget* w, double twips) {
    w->move(px(twips), w->y());
}

void setWidth(QWidget* w, double twips) {
    if (twips < 0)
        return;
    w->resize(px(twips), w->height());
}

void setHeight(QWidget* w, double twips) {
    if (twips < 0)
        return;
    w->resize(w->width(), px(twips));
}

} // namespace

ClickableBitmap::ClickableBitmap(QWidget* parent) : QLabel(parent) {}

void ClickableBitmap::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
    QLabel::mousePressEvent(event);
}

void ClickableBitmap::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && pressed_ &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Q_EMIT clicked();
}

void ClickableBitmap::mouseDoubleClickEvent(QMouseEvent* event) {
    // QWidget would take it for a press; the release that follows then reports no click.
    event->accept();
}

Form1::Form1(QWidget* parent) : QWidget(parent), links_(new Links) {
    initPortalResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Qarvo--种子搜索 高清影院 云播放三合一  V1.2  官网：") +
                   QStringLiteral(CORVALE_SITE_HOST));
    // QIcon takes icon@2x.png beside it on its own.
    setWindowIcon(QIcon(QStringLiteral(":/portal/icon.png")));
    QFont windowFont(QStringLiteral("WenQuanYi Zen Hei"));
    windowFont.setPixelSize(12);
    setFont(windowFont);
    resize(px(15120), px(8400));

    playerPath_ = QCoreApplication::applicationDirPath() + QStringLiteral("/brenlo/lumetta");
    external_ = new External([this](const QString& URL) { HelloWorld(URL); }, links_, this);

    createControls();
    // The browser's own behaviour first: it gives the view the page that the host then uses.
    browser_ = new browser::Browser(WebBrowser1_);
    host_ = new BrowserHost(WebBrowser1_, external_);
    // A page whose process ended comes back at its address, in browser mode or behind the
    // list; the list, the mode and the keyword are left as they are. The bridge's script stays
    // with the page and reaches the new process's documents.
    recovery_ = new browser::Recovery(
        WebBrowser1_->page(),
        [this](const QUrl& shown) {
            WebBrowser1_->load(shown.isEmpty() || shown.scheme() == QLatin1String("data")
                                  ? QUrl(qjym_)
                                  : shown);
        },
        this);
    connectHandlers();
    // The list and the bridge read the links: as the window's last child, the links go after
    // them.
    links_->setParent(this);

    Form_Load();
}

Form1::~Form1() = default;

void Form1::createControls() {
    // Created back to front: the images on the window surface first, then the controls, each
    // over the ones before it.
    Image1_ = new QLabel(this);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setPixmap(bitmap("header.png"));
    Image1_->setGeometry(twipsRect(0, 0, 22500, 600));

    const auto headerButton = [this](const char* name, const char* file, double left) {
        auto* b = new ClickableBitmap(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setPixmap(bitmap(file));
        b->setGeometry(twipsRect(left, 75, 1500, 510));
        b->setCursor(Qt::PointingHandCursor);
        return b;
    };
    Image2_ = headerButton("Image2", "cinema.png", 120);
    Image3_ = headerButton("Image3", "seedsearch.png", 1680);
    Image4_ = headerButton("Image4", "cloudplay.png", 3240);
    // What a screen reader says for each control: for a bitmap, the text it shows.
    Image1_->setAccessibleName(QStringLiteral("Qarvo 种子搜索 高清影院 云播放"));
    Image2_->setAccessibleName(QStringLiteral("Qarvo影院"));
    Image3_->setAccessibleName(QStringLiteral("种子搜索"));
    Image4_->setAccessibleName(QStringLiteral("云播放"));

    Text1_ = new QLineEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    Text1_->setGeometry(twipsRect(10560, 100, 3855, 360));
    QFont boxFont = font();
    boxFont.setPixelSize(13);
    Text1_->setFont(boxFont);
    Text1_->setText(kPlaceholder);
    Text1_->setAccessibleName(QStringLiteral("关键字"));

    WebBrowser1_ = new QWebEngineView(this);
    WebBrowser1_->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1_->setGeometry(twipsRect(0, 520, 2250, 7460));
    WebBrowser1_->setAccessibleName(QStringLiteral("网页"));

    ListView1_ = new ResultList(links_, this);
    ListView1_->setObjectName(QStringLiteral("ListView1"));
    ListView1_->setGeometry(twipsRect(5400, 520, 5535, 1500));
    ListView1_->setAccessibleName(QStringLiteral("搜索结果"));
    ListView1_->hide();

    Picture1_ = new ClickableBitmap(this);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setPixmap(bitmap("search.png"));
    Picture1_->setGeometry(twipsRect(14520, 100, 375, 375));
    Picture1_->setCursor(Qt::PointingHandCursor);
    Picture1_->setFocusPolicy(Qt::TabFocus);
    Picture1_->setAccessibleName(QStringLiteral("搜索"));

    const auto banner = [this](const char* name, const char* file, QRect geometry,
                               const QString& message) {
        auto* b = new QLabel(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(message);
        b->setPixmap(bitmap(file));
        b->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        b->setGeometry(geometry);
        b->hide();
        return b;
    };
    Picture2_ = banner("Picture2", "noresults.png", twipsRect(4080, 3600, 7455, 360),
                      QStringLiteral("没有找到相关的种子，请试试输入演员的名字，或换个关键字再搜索"));
    Picture3_ = banner("Picture3", "searching.png", twipsRect(6480, 3600, 2740, 360),
                      QStringLiteral("正在搜索，请稍候…"));

    // Tab order; see focusNextPrevChild.
    setTabOrder(Text1_, WebBrowser1_);
    setTabOrder(WebBrowser1_, ListView1_);
    setTabOrder(ListView1_, Picture1_);

    mnuOptions_ = new QMenu(QStringLiteral("右键"), this);
    mnuOptions_->setObjectName(QStringLiteral("mnuOptions"));
    aplary_ = mnuOptions_->addAction(QStringLiteral("在线云播放"));
    aplary_->setObjectName(QStringLiteral("aplary"));
    acopy_ = mnuOptions_->addAction(QStringLiteral("复制电影地址"));
    acopy_->setObjectName(QStringLiteral("acopy"));
}

void Form1::setLinks(const QStringList& links) {
    links_->set(links);
}

QString Form1::edurl() const {
    return links_->edurl();
}

void Form1::setAnzt(qint16 anzt) {
    anzt_ = anzt;
    external_->setAnzt(anzt);
}

void Form1::HelloWorld(const QString& URL) {
    // Each start is a browser process of its own; a page calling in a loop must not be able to
    // start one after another until memory runs out.
    // Nor may a page that calls once a second pile up players: each is about 200 MB.
    if (!players_.mayStart()) {
        if (tellCap_) {
            tellCap_ = false;
            showMessage(kTooManyPlayersMessage);
        }
        return;
    }
    if (!playerStarts_.tryStart())
        return;
    // The link is the player's one argument, exactly as the caller gave it; no shell is
    // involved, so nothing in it is interpreted.
    qint64 pid = 0;
    if (QProcess::startDetached(playerPath_, {URL}, QString(), &pid)) {
        players_.started(pid);
        tellCap_ = true;
    }
}

void Form1::Form_Load() {
    // The vendor portal's root.
    qjym_ = QStringLiteral("http://" CORVALE_PORTAL_HOST "/");
    external_->setQjym(qjym_);

    // The start page loads in the background. The version check runs on its own, holding
    // back neither the page nor the window.
    WebBrowser1_->load(QUrl(qjym_));
    pdup();
    setAnzt(1);
    chuangjian();
}

void Form1::pdup() {
    versionCheck_ = new webkit::VersionCheck(webkit::VersionCheck::Variant::Portal, this);
    connect(versionCheck_, &webkit::VersionCheck::newVersion, this, &Form1::announceNewVersion);

    // The check asks the site that serves the start page. It goes out once the start page has
    // begun to arrive or its load has ended, so the page is never queued behind it; a site that
    // keeps the page waiting is asked after a short while all the same.
    connect(WebBrowser1_, &QWebEngineView::loadProgress, this, [this](int progress) {
        if (progress > 0)
            startVersionCheck();
    });
    connect(WebBrowser1_, &QWebEngineView::loadFinished, this, &Form1::startVersionCheck);
    QTimer::singleShot(kVersionCheckLatestMs, this, &Form1::startVersionCheck);
}

void Form1::startVersionCheck() {
    if (versionCheckStarted_)
        return;
    versionCheckStarted_ = true;
    versionCheck_->pdup();
}

void Form1::announceNewVersion(const QString& downloadText) {
    browser::announceNewVersion(downloadText, this);
}

void Form1::chuangjian() {
    // Report view: one line per row under column headers, nothing edited in place, a click
    // anywhere on a line selects the whole row, and rows stay in the order they were added.
    ListView1_->setRootIsDecorated(false);
    ListView1_->setItemsExpandable(false);
    ListView1_->setUniformRowHeights(true);
    ListView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1_->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1_->setAllColumnsShowFocus(true);
    ListView1_->setSortingEnabled(false);
    ListView1_->setAlternatingRowColors(true);
    // A row dragged out carries its link as text, into an eD2k client or an editor.
    ListView1_->setDragEnabled(true);
    ListView1_->setDragDropMode(QAbstractItemView::DragOnly);
    ListView1_->setDefaultDropAction(Qt::CopyAction);
    QHeaderView* header = ListView1_->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    const struct {
        const char16_t* title;
        double width;
    } columns[] = {{u"ID", 500}, {u"电影名", 12530}, {u"文件大小", 1200}, {u"格式", 800}};
    QStringList titles;
    for (const auto& c : columns)
        titles << QString::fromUtf16(c.title);
    ListView1_->setHeaderLabels(titles);
    for (int i = 0; i < int(std::size(columns)); ++i)
        ListView1_->setColumnWidth(i, px(columns[i].width));
}

bool Form1::focusNextPrevChild(bool next) {
    // The keyboard order of the controls: the keyword box, the browser, the list, the search
    // button, passing over any that is hidden. Kept here rather than in the focus chain, where
    // the engine's page widgets come and go as pages load. Tab also arrives here from the page
    // once its own elements are done.
    QWidget* const order[] = {Text1_, WebBrowser1_, ListView1_, Picture1_};
    const int count = int(std::size(order));
    const QWidget* current = QApplication::focusWidget();
    int at = -1;
    for (int i = 0; i < count && current; ++i)
        if (current == order[i] || order[i]->isAncestorOf(current))
            at = i;
    if (at < 0)
        return QWidget::focusNextPrevChild(next);
    for (int step = 1; step < count; ++step) {
        QWidget* w = order[(at + (next ? step : count - step)) % count];
        if (w->isVisible() && w->isEnabled()) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize() {
    // The browser surface and the result list span the client area below the header; their
    // tops stay where they are.
    const double clientWidth = browser::pixelsToTwips(width());
    const double clientHeight = browser::pixelsToTwips(height());
    setLeft(WebBrowser1_, 0);
    setWidth(WebBrowser1_, clientWidth);
    setHeight(WebBrowser1_, clientHeight - 200);
    setLeft(ListView1_, 0);
    setWidth(ListView1_, clientWidth);
    setHeight(ListView1_, clientHeight - 260);
}

} // namespace portal
