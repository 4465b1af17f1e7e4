// How quickly the windows handle a click while hostile pages arrive. For each hostile question
// page (portal, during a link search) and each hostile play API reply (player, while it resolves
// its link), a click reaches the window every 20 ms until the work ends; the figure is the
// time from a click's arrival to the window's handler seeing it. Goal: every click within 200 ms.
// The fetch limits are the programs' own: a stalled page takes its full minute.
#include "player/pellion.h"
#include "player/playresolver.h"
#include "portal/form1.h"
#include "portal/search.h"
#include "support/hostile.h"
#include "support/localweb.h"
#include "vendor/hosts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Clicks `target` every 20 ms from a thread of its own, the way input arrives from the display
// whatever the window is doing, and records how long each click waited until the target saw it.
class ClickProbe : public QObject {
public:
    explicit ClickProbe(QWidget* target) : target_(target) {
        clock_.start();
        target->installEventFilter(this);
        clicker_ = std::thread([this] {
            while (!stopping_) {
                post(QEvent::MouseButtonPress, Qt::LeftButton);
                post(QEvent::MouseButtonRelease, Qt::NoButton);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~ClickProbe() override { stop(); }

    void stop() {
        stopping_ = true;
        if (clicker_.joinable())
            clicker_.join();
        // Clicks still queued are not counted.
        target_->removeEventFilter(this);
    }

    void print(const char* name, qint64 durationMs) {
        std::sort(latencies_.begin(), latencies_.end());
        const auto at = [&](double q) {
            return latencies_.isEmpty() ? -1 : latencies_[qsizetype(q * (latencies_.size() - 1))];
        };
        std::printf("  %-40s %7lld ms %6lld %8lld %8lld\n", name,
                    static_cast<long long>(durationMs), static_cast<long long>(latencies_.size()),
                    static_cast<long long>(at(0.5)), static_cast<long long>(at(1.0)));
        std::fflush(stdout);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The click's time of posting travels in its timestamp.
        if (watched == target_ && event->type() == QEvent::MouseButtonRelease)
            latencies_ << clock_.elapsed() - qint64(static_cast<QMouseEvent*>(event)->timestamp());
        return false;
    }

private:
    void post(QEvent::Type type, Qt::MouseButtons buttons) {
        auto* e = new QMouseEvent(type, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, buttons,
                                  Qt::NoModifier);
        e->setTimestamp(quint64(clock_.elapsed()));
        QCoreApplication::postEvent(target_, e);
    }

    QWidget* target_;
    QElapsedTimer clock_;
    std::atomic<bool> stopping_{false};
    std::thread clicker_;
    QList<qint64> latencies_;
};

const QString kQuestion = QStringLiteral("http://zhidao.baidu.com/question/%1.html");
const QString kQuestionLink = QStringLiteral("ed2k://|file|fromquestion.mkv|1|ABCDEF|");
const QString kPlay = QStringLiteral("http://" CORVALE_PLAY_HOST "/high.php?v=abcdef");

void portalCase(LocalWeb& web, const HostileReply& hostile, int round) {
    const QString keyword = QStringLiteral("hostile%1").arg(round);
    web.routeGbk(QStringLiteral("http://zhidao.baidu.com/search?&word=") + keyword +
                     QStringLiteral("+ed2k"),
                 QStringLiteral("<a href=\"%1\">q</a>").arg(kQuestion.arg(round)));
    hostile.serveAt(web, kQuestion.arg(round));
    portal::Form1 form;
    form.setPlayerPath(QString());
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        std::fprintf(stderr, "the portal window did not show\n");
    form.Image3_Click();
    form.Text1()->setText(keyword);
    QElapsedTimer clock;
    clock.start();
    ClickProbe probe(form.Text1()); // a click in the keyword box
    // A plain event loop: QTest's waits sleep between rounds, which would delay the clicks.
    QEventLoop loop;
    QObject::connect(form.findChild<portal::LinkSearch*>(), &portal::LinkSearch::finished, &loop,
                     &QEventLoop::quit, Qt::QueuedConnection);
    int enter = 13;
    form.Text1_KeyPress(enter);
    loop.exec();
    probe.stop();
    probe.print(hostile.name, clock.elapsed());
}

void playerCase(LocalWeb& web, const HostileReply& hostile, int round) {
    const QString link = QStringLiteral("ed2k://|file|hostile%1.avi|1|ABCDEF|/").arg(round);
    hostile.serveAt(web, lumetta::PlayResolver::requestAddress(link));
    lumetta::pellion w(link);
    w.Form_Load();
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::fprintf(stderr, "the player window did not show\n");
    QElapsedTimer clock;
    clock.start();
    ClickProbe probe(&w);
    using State = lumetta::pellion::State;
    QEventLoop loop;
    QObject::connect(&w, &lumetta::pellion::stateChanged, &loop, [&](State state) {
        if (state == State::Playing || state == State::ErrorPage)
            loop.quit();
    });
    if (w.state() != State::Playing && w.state() != State::ErrorPage)
        loop.exec();
    probe.stop();
    probe.print(hostile.name, clock.elapsed());
}

} // namespace

int main(int argc, char** argv) {
    prepareWebEngine();
    QApplication app(argc, argv);
    LocalWeb web;
    if (!web.start())
        return 1;
    web.useAsProxy();
    const char* header = "  %-40s %10s %6s %8s %8s\n";
    std::printf("click latency while hostile pages arrive (goal: max < 200 ms)\n");
    std::printf("portal, a link search with one hostile question page:\n");
    std::printf(header, "", "duration", "clicks", "median", "max");
    int round = 0;
    for (const HostileReply& hostile : hostileQuestionPages(kQuestionLink))
        portalCase(web, hostile, ++round);
    std::printf("player, resolving a link against a hostile play API reply:\n");
    std::printf(header, "", "duration", "clicks", "median", "max");
    for (const HostileReply& hostile : hostilePlayApiReplies(kPlay))
        playerCase(web, hostile, ++round);
    return 0;
}
