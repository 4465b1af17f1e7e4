// Draws the desktop icons of both programs into a folder laid out as an icon theme:
//
//     drawicon OUTDIR        writes OUTDIR/SIZExSIZE/apps/{corvale,lumetta}.png for the usual
//                            sizes and OUTDIR/scalable/apps/{corvale,lumetta}.svg
//
// The files under packaging/icons/hicolor/ were made with it; run it again (target
// desktop_icons) after changing a drawing here, and look at the results before keeping them.
//
// Each icon is a short list of shapes on a 48-unit square, painted into every bitmap and written
// into the scalable drawing alike, so that all sizes show the same picture. corvale: a blue
// film frame with a play sign, like its window icon; lumetta: a white cloud with a play sign on
// an orange tile. The two tell apart at a glance in a menu or a dock.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

constexpr qreal kSize = 48;
const int kBitmapSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

struct Shape {
    enum Kind { RoundedRect, Circle, Polygon } kind;
    QRectF rect;              // RoundedRect; Circle: its bounding square
    qreal radius = 0;         // RoundedRect
    QList<QPointF> points;    // Polygon
    QColor fill;              // a flat fill, or the top of a vertical gradient...
    QColor fillBottom;        // ...down to this colour when valid
    QColor stroke;            // no outline when invalid
    qreal strokeWidth = 0;
};

Shape roundedRect(QRectF r, qreal radius, QColor fill) {
    return {Shape::RoundedRect, r, radius, {}, fill, {}, {}, 0};
}
Shape circle(QPointF c, qreal r, QColor fill) {
    return {Shape::Circle, QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 0, {}, fill, {}, {}, 0};
}
Shape polygon(QList<QPointF> points, QColor fill) {
    return {Shape::Polygon, {}, 0, std::move(points), fill, {}, {}, 0};
}
Shape tile(QRectF r, qreal radius, QColor top, QColor bottom, QColor edge, qreal width) {
    return {Shape::RoundedRect, r, radius, {}, top, bottom, edge, width};
}

struct Icon {
    const char* name;
    std::vector<Shape> shapes;
};

Icon corvale() {
    Icon icon{"corvale",
              {tile(QRectF(2.75, 2.75, 42.5, 42.5), 9, QColor(110, 190, 240), QColor(30, 110, 180),
                    QColor(20, 84, 140), 1.5)}};
    // Film perforations along both edges.
    for (int i = 0; i < 5; ++i)
        for (qreal x : {6.0, 38.0})
            icon.shapes.push_back(
                roundedRect(QRectF(x, 8 + i * 7, 4, 4), 1, QColor(255, 255, 255, 170)));
    icon.shapes.push_back(circle(QPointF(24, 24), 11.5, Qt::white));
    icon.shapes.push_back(
        polygon({{20.5, 17.5}, {31, 24}, {20.5, 30.5}}, QColor(236, 120, 20)));
    return icon;
}

Icon lumetta() {
    const QColor cloud = Qt::white;
    return {"lumetta",
            {tile(QRectF(3.5, 3.5, 41, 41), 9, QColor(255, 166, 64), QColor(226, 84, 38),
                  QColor(176, 58, 22), 1),
             // The cloud: three puffs over a rounded base.
             circle(QPointF(17.5, 25.5), 7.5, cloud), circle(QPointF(27, 20.5), 10, cloud),
             circle(QPointF(35, 27), 6.5, cloud), roundedRect(QRectF(9.5, 24, 31.5, 12), 6, cloud),
             polygon({{21.5, 21.5}, {21.5, 33}, {31.5, 27.25}}, QColor(214, 72, 30))}};
}

QImage bitmap(const Icon& icon, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kSize, size / kSize);
    for (const Shape& s : icon.shapes) {
        if (s.fillBottom.isValid()) {
            QLinearGradient g(s.rect.topLeft(), s.rect.bottomLeft());
            g.setColorAt(0, s.fill);
            g.setColorAt(1, s.fillBottom);
            p.setBrush(g);
        } else {
            p.setBrush(s.fill);
        }
        p.setPen(s.stroke.isValid() ? QPen(s.stroke, s.strokeWidth) : QPen(Qt::NoPen));
        switch (s.kind) {
        case Shape::RoundedRect:
            p.drawRoundedRect(s.rect, s.radius, s.radius);
            break;
        case Shape::Circle:
            p.drawEllipse(s.rect);
            break;
        case Shape::Polygon:
            p.drawPolygon(QPolygonF(s.points));
            break;
        }
    }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

QString paint(const QColor& c) {
    QString text = QStringLiteral("fill=\"%1\"").arg(c.name());
    if (c.alpha() != 255)
        text += QStringLiteral(" fill-opacity=\"%1\"").arg(c.alphaF(), 0, 'g', 3);
    return text;
}

QString svg(const Icon& icon) {
    QString text;
    QTextStream s(&text);
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" "
         "viewBox=\"0 0 48 48\">\n";
    int gradients = 0;
    for (const Shape& sh : icon.shapes) {
        QString fill = paint(sh.fill);
        if (sh.fillBottom.isValid()) {
            const QString id = QStringLiteral("g%1").arg(++gradients);
            s << "  <linearGradient id=\"" << id << "\" x1=\"0\" y1=\"" << sh.rect.top()
              << "\" x2=\"0\" y2=\"" << sh.rect.bottom() << "\" gradientUnits=\"userSpaceOnUse\">"
              << "<stop offset=\"0\" stop-color=\"" << sh.fill.name() << "\"/>"
              << "<stop offset=\"1\" stop-color=\"" << sh.fillBottom.name() << "\"/>"
              << "</linearGradient>\n";
            fill = QStringLiteral("fill=\"url(#%1)\"").arg(id);
        }
        if (sh.stroke.isValid())
            fill += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                        .arg(sh.stroke.name())
                        .arg(sh.strokeWidth);
        switch (sh.kind) {
        case Shape::RoundedRect:
            s << "  <rect x=\"" << sh.rect.x() << "\" y=\"" << sh.rect.y() << "\" width=\""
              << sh.rect.width() << "\" height=\"" << sh.rect.height() << "\" rx=\"" << sh.radius
              << "\" " << fill << "/>\n";
            break;
        case Shape::Circle:
            s << "  <circle cx=\"" << sh.rect.center().x() << "\" cy=\"" << sh.rect.center().y()
              << "\" r=\"" << sh.rect.width() / 2 << "\" " << fill << "/>\n";
            break;
        case Shape::Polygon:
            s << "  <polygon points=\"";
            for (qsizetype i = 0; i < sh.points.size(); ++i)
                s << (i ? " " : "") << sh.points[i].x() << ',' << sh.points[i].y();
            s << "\" " << fill << "/>\n";
            break;
        }
    }
    s << "</svg>\n";
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
    bool ok = true;
    for (const Icon& icon : {corvale(), lumetta()}) {
        const QString file = QString::fromLatin1(icon.name);
        for (int size : kBitmapSizes) {
            const QString dir = QStringLiteral("%1x%1/apps").arg(size);
            ok &= out.mkpath(dir) &&
                  bitmap(icon, size).save(out.filePath(dir + QLatin1Char('/') + file + ".png"),
                                          "PNG", 0);
        }
        ok &= out.mkpath(QStringLiteral("scalable/apps")) &&
              writeText(out.filePath(QStringLiteral("scalable/apps/") + file + ".svg"), svg(icon));
    }
    if (!ok) {
        std::fprintf(stderr, "drawicon: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
