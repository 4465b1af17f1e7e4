// Draws the portal window's bitmaps into a folder, at the sizes the window lays them out:
//
//     drawbitmaps OUTDIR
//
// The PNG files under portal/resources/ were made with it; run it again (target
// portal_bitmaps) after changing a drawing here, and look at the results before keeping them.

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>

namespace {

const QColor kHeaderBlue(77, 166, 222);
const QString kCjkFamily = QStringLiteral("WenQuanYi Zen Hei");

// Every bitmap is drawn once per scale, in the same device-independent pixels: 1 for
// name.png, 2 for name@2x.png, which a high-density screen shows.
int scale = 1;

QImage canvas(int w, int h, const QColor& fill = Qt::transparent) {
    QImage img(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(fill);
    return img;
}

QFont labelFont(int pixelSize, bool bold = false) {
    QFont f(kCjkFamily);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

// A rounded face filled with a gradient from top to bottom (`stops`: position, colour) and
// outlined with `edge`.
void roundedFace(QPainter& p, const QRectF& face, qreal radius,
                 std::initializer_list<std::pair<qreal, QColor>> stops, const QPen& edge) {
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    for (const auto& [at, color] : stops)
        g.setColorAt(at, color);
    p.setPen(edge);
    p.setBrush(g);
    p.drawRoundedRect(face, radius, radius);
}

// Sets `p` up to draw a white icon on a grid of 20 units in a box of `s` pixels with its top left
// at `o`; the icon restores `p` when it is done.
void whiteIconBox(QPainter& p, QPointF o, qreal s) {
    p.save();
    p.translate(o);
    p.scale(s / 20.0, s / 20.0);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
}

// A clapperboard, white, in a box of `s` pixels with its top left at `o`.
void clapperboard(QPainter& p, QPointF o, qreal s) {
    whiteIconBox(p, o, s);
    // Board.
    p.drawRoundedRect(QRectF(2, 8, 16, 10), 1.5, 1.5);
    // Hinged clapper, tilted open, with its stripes.
    p.save();
    p.translate(2, 7);
    p.rotate(-14);
    QPainterPath clapper;
    clapper.addRoundedRect(QRectF(0, -4, 16.5, 4), 1, 1);
    p.drawPath(clapper);
    p.setBrush(kHeaderBlue.darker(135));
    for (int i = 0; i < 4; ++i) {
        QPolygonF stripe;
        stripe << QPointF(2.2 + i * 4, -4) << QPointF(4.2 + i * 4, -4) << QPointF(2.6 + i * 4, 0)
               << QPointF(0.6 + i * 4, 0);
        p.drawPolygon(stripe);
    }
    p.restore();
    // Stripes on the board's top edge.
    p.setBrush(kHeaderBlue.darker(135));
    for (int i = 0; i < 4; ++i) {
        QPolygonF stripe;
        stripe << QPointF(3.5 + i * 4, 8) << QPointF(5.5 + i * 4, 8) << QPointF(4.0 + i * 4, 10.5)
               << QPointF(2.0 + i * 4, 10.5);
        p.drawPolygon(stripe);
    }
    p.restore();
}

// A magnifier in `color`, in a box of `s` pixels with its top left at `o`.
void magnifier(QPainter& p, QPointF o, qreal s, const QColor& color) {
    p.save();
    p.translate(o);
    p.scale(s / 20.0, s / 20.0);
    QPen ring(color, 2.6);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8.2, 8.2), 5.6, 5.6);
    QPen handle(color, 3.4, Qt::SolidLine, Qt::RoundCap);
    p.setPen(handle);
    p.drawLine(QPointF(12.6, 12.6), QPointF(17.4, 17.4));
    p.restore();
}

// A play sign in a circle with a small cloud behind, white, in a box of `s` pixels.
void cloudPlay(QPainter& p, QPointF o, qreal s) {
    whiteIconBox(p, o, s);
    QPainterPath cloud;
    cloud.addEllipse(QPointF(5.5, 12.5), 4.5, 4.5);
    cloud.addEllipse(QPointF(10.5, 8.5), 6.5, 6.5);
    cloud.addEllipse(QPointF(15.5, 12), 4.5, 4.5);
    cloud.addRoundedRect(QRectF(1, 11.5, 19, 6), 3, 3);
    p.drawPath(cloud.simplified());
    p.setBrush(kHeaderBlue.darker(125));
    QPolygonF play;
    play << QPointF(8, 6.8) << QPointF(15, 11.3) << QPointF(8, 15.8);
    p.drawPolygon(play);
    p.restore();
}

// One of the header's three buttons: a raised rounded face on the header blue, an icon at
// the left and a white label. The browser surface covers the lowest rows of the header, so the
// face keeps to the top 30 rows of the bitmap.
QImage headerButton(void (*icon)(QPainter&, QPointF, qreal), const QString& label,
                    bool latinAndCjk = false) {
    QImage img = canvas(100, 34, kHeaderBlue);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF face(0.5, 0.5, 99, 29);
    roundedFace(p, face, 5,
                {{0, QColor(104, 186, 236)}, {0.5, QColor(64, 152, 212)}, {1, QColor(44, 128, 190)}},
                QPen(QColor(33, 104, 160), 1));
    // A soft highlight along the top edge.
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawLine(QPointF(5, 1.5), QPointF(95, 1.5));

    icon(p, QPointF(7, 5), 20);

    p.setPen(QColor(0, 60, 110, 110));
    const QFont font = labelFont(latinAndCjk ? 13 : 14, true);
    p.setFont(font);
    const QRectF text(30, 0, 68, 30);
    p.drawText(text.translated(0, 1), Qt::AlignVCenter | Qt::AlignHCenter, label);
    p.setPen(Qt::white);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignHCenter, label);
    return img;
}

void whiteMagnifier(QPainter& p, QPointF o, qreal s) {
    magnifier(p, o, s, Qt::white);
}

// The search button beside the keyword box.
QImage searchButton() {
    QImage img = canvas(25, 25, kHeaderBlue);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    roundedFace(p, QRectF(0.5, 0.5, 24, 24), 4,
                {{0, QColor(255, 170, 60)}, {1, QColor(236, 120, 20)}}, QPen(QColor(200, 98, 10), 1));
    magnifier(p, QPointF(3, 3), 19, Qt::white);
    return img;
}

// A banner that lies over the result list: a light band with a thin border, an icon and a
// sentence. The control that shows it may be narrower than the bitmap (the no-results banner
// shows 497 of its 500 columns), so the band is drawn `shown` columns wide.
QImage banner(int width, int shown, const QColor& back, const QColor& border, const QColor& ink,
              void (*icon)(QPainter&, QRectF, const QColor&), const QString& text) {
    QImage img = canvas(width, 24);
    QPainter p(&img);
    p.fillRect(QRect(0, 0, shown, 24), back);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QPen(border, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, shown - 1, 23));
    icon(p, QRectF(6, 4, 16, 16), ink);
    p.setPen(ink);
    p.setFont(labelFont(13));
    p.drawText(QRectF(27, 0, shown - 31, 24), Qt::AlignVCenter | Qt::AlignLeft, text);
    return img;
}

void exclamation(QPainter& p, QRectF r, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 150, 30));
    p.drawEllipse(r);
    p.setBrush(Qt::white);
    const QPointF c = r.center();
    p.drawRoundedRect(QRectF(c.x() - 1.2, r.top() + 3.2, 2.4, 6.6), 1.1, 1.1);
    p.drawEllipse(QPointF(c.x(), r.bottom() - 3.6), 1.35, 1.35);
    Q_UNUSED(ink);
}

void spinner(QPainter& p, QRectF r, const QColor& ink) {
    const QPointF c = r.center();
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        QColor dot = ink;
        dot.setAlphaF(0.25 + 0.75 * i / 7.0);
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(QPointF(c.x() + 5.6 * std::cos(a), c.y() + 5.6 * std::sin(a)), 1.7, 1.7);
    }
}

// The window icon: a film frame with a play sign, in the header's blue.
QImage windowIcon() {
    QImage img = canvas(48, 48);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(2, 2, 44, 44);
    roundedFace(p, face, 9, {{0, QColor(110, 190, 240)}, {1, QColor(30, 110, 180)}},
                QPen(QColor(20, 84, 140), 1.5));
    // Film perforations along both edges.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    for (int i = 0; i < 5; ++i) {
        p.drawRoundedRect(QRectF(6, 8 + i * 7, 4, 4), 1, 1);
        p.drawRoundedRect(QRectF(38, 8 + i * 7, 4, 4), 1, 1);
    }
    // Play sign.
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 24), 11.5, 11.5);
    p.setBrush(QColor(236, 120, 20));
    QPolygonF play;
    play << QPointF(20.5, 17.5) << QPointF(31, 24) << QPointF(20.5, 30.5);
    p.drawPolygon(play);
    return img;
}

// 256 colours, as the window's icon is meant to have.
QImage indexed(const QImage& img) {
    return img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: drawbitmaps OUTDIR\n";
        return 2;
    }
    if (!QFontDatabase::families().contains(kCjkFamily)) {
        err << "drawbitmaps: the font " << kCjkFamily << " is not installed\n";
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const auto save = [&](const QImage& img, const char* name) {
        QString file = QString::fromLatin1(name);
        if (scale != 1)
            file.replace(QStringLiteral(".png"), QStringLiteral("@%1x.png").arg(scale));
        const QString path = out.filePath(file);
        if (!img.save(path, "PNG", 0)) {
            err << "drawbitmaps: cannot write " << path << "\n";
            return false;
        }
        return true;
    };

    bool ok = true;
    for (scale = 1; scale <= 2; ++scale) {
    ok &= save(canvas(1500, 40, kHeaderBlue).convertToFormat(QImage::Format_RGB32), "header.png");
    ok &= save(headerButton(clapperboard, QStringLiteral("Qarvo影院"), true), "cinema.png");
    ok &= save(headerButton(whiteMagnifier, QStringLiteral("种子搜索")), "seedsearch.png");
    ok &= save(headerButton(cloudPlay, QStringLiteral("云播放")), "cloudplay.png");
    ok &= save(searchButton(), "search.png");
    ok &=
        save(banner(500, 497, QColor(255, 248, 225), QColor(240, 195, 110), QColor(140, 90, 20),
                    exclamation,
                    QStringLiteral("没有找到相关的种子，请试试输入演员的名字，或换个关键字再搜索")),
             "noresults.png");
    ok &= save(banner(183, 183, QColor(232, 244, 252), kHeaderBlue, QColor(25, 105, 165), spinner,
                      QStringLiteral("正在搜索，请稍候…")),
               "searching.png");
    ok &= save(indexed(windowIcon()), "icon.png");
    }
    return ok ? 0 : 1;
}
