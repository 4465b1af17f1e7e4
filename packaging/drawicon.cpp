// Draws lumetta's desktop icon into a folder, as a 48x48 bitmap and as a scalable drawing of
// the same shapes:
//
//     drawicon OUTDIR        writes OUTDIR/lumetta.png and OUTDIR/lumetta.svg
//
// The two files under packaging/icons/ were made with it; run it again (target lumetta_icon)
// after changing the drawing here, and look at both before keeping them.
//
// The icon: a white cloud with a play sign on an orange rounded tile; the portal's icon is a
// blue film frame, so the two tell apart at a glance in a menu or a dock.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>

namespace {

// Everything is laid out on a 48-unit square.
constexpr qreal kSize = 48;

struct Circle {
    qreal cx, cy, r;
};

// The tile.
const QRectF kTile(3, 3, 42, 42);
constexpr qreal kTileRadius = 9;
const QColor kTileTop(255, 166, 64);
const QColor kTileBottom(226, 84, 38);
const QColor kTileEdge(176, 58, 22);

// The cloud: three puffs over a rounded base.
const Circle kPuffs[] = {{17.5, 25.5, 7.5}, {27, 20.5, 10}, {35, 27, 6.5}};
const QRectF kCloudBase(9.5, 24, 31.5, 12);
constexpr qreal kCloudBaseRadius = 6;
const QColor kCloud(255, 255, 255);

// The play sign on the cloud.
const QPointF kPlay[] = {{21.5, 21.5}, {21.5, 33}, {31.5, 27.25}};
const QColor kPlayColour(214, 72, 30);

QPainterPath cloudPath() {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const Circle& c : kPuffs)
        path.addEllipse(QPointF(c.cx, c.cy), c.r, c.r);
    path.addRoundedRect(kCloudBase, kCloudBaseRadius, kCloudBaseRadius);
    return path.simplified();
}

QImage bitmap(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kSize, size / kSize);

    QLinearGradient tile(kTile.topLeft(), kTile.bottomLeft());
    tile.setColorAt(0, kTileTop);
    tile.setColorAt(1, kTileBottom);
    p.setPen(QPen(kTileEdge, 1));
    p.setBrush(tile);
    p.drawRoundedRect(kTile.adjusted(0.5, 0.5, -0.5, -0.5), kTileRadius, kTileRadius);

    p.setPen(Qt::NoPen);
    p.setBrush(kCloud);
    p.drawPath(cloudPath());

    p.setBrush(kPlayColour);
    p.drawPolygon(kPlay, 3);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

QString svg() {
    QString text;
    QTextStream s(&text);
    const QRectF t = kTile.adjusted(0.5, 0.5, -0.5, -0.5);
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" "
         "viewBox=\"0 0 48 48\">\n"
      << "  <defs>\n"
      << "    <linearGradient id=\"tile\" x1=\"0\" y1=\"" << kTile.top() << "\" x2=\"0\" y2=\""
      << kTile.bottom() << "\" gradientUnits=\"userSpaceOnUse\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << kTileTop.name() << "\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"" << kTileBottom.name() << "\"/>\n"
      << "    </linearGradient>\n"
      << "  </defs>\n"
      << "  <rect x=\"" << t.x() << "\" y=\"" << t.y() << "\" width=\"" << t.width()
      << "\" height=\"" << t.height() << "\" rx=\"" << kTileRadius << "\" fill=\"url(#tile)\" "
      << "stroke=\"" << kTileEdge.name() << "\" stroke-width=\"1\"/>\n"
      << "  <g fill=\"" << kCloud.name() << "\">\n";
    for (const Circle& c : kPuffs)
        s << "    <circle cx=\"" << c.cx << "\" cy=\"" << c.cy << "\" r=\"" << c.r << "\"/>\n";
    s << "    <rect x=\"" << kCloudBase.x() << "\" y=\"" << kCloudBase.y() << "\" width=\""
      << kCloudBase.width() << "\" height=\"" << kCloudBase.height() << "\" rx=\""
      << kCloudBaseRadius << "\"/>\n"
      << "  </g>\n"
      << "  <polygon points=\"";
    for (int i = 0; i < 3; ++i)
        s << (i ? " " : "") << kPlay[i].x() << ',' << kPlay[i].y();
    s << "\" fill=\"" << kPlayColour.name() << "\"/>\n"
      << "</svg>\n";
    return text;
}

bool writeText(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text.toUtf8();
    return f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawicon OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = bitmap(48).save(out.filePath(QStringLiteral("lumetta.png")), "PNG");
    ok &= writeText(out.filePath(QStringLiteral("lumetta.svg")), svg());
    if (!ok) {
        std::fprintf(stderr, "drawicon: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
