// Regenerates the committed binary resources: the two status pictures and the
// program icon (ICO for Windows, PNG for Linux, and the larger and smaller
// PNGs that desktops look for in the hicolor theme).
//
//   make_resources <output folder>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void putU16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void putU32(QByteArray &out, quint32 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((v >> shift) & 0xff));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return file.write(bytes) == bytes.size();
}

// Solid 24-bit picture, written by hand so the headers are exactly what the
// status display expects (72 dpi, BI_RGB, bottom-up).
QByteArray solidBmp(int width, int height, QRgb colour)
{
    const int rowBytes = (width * 3 + 3) & ~3;
    const quint32 imageSize = quint32(rowBytes * height);
    const quint32 offset = 14 + 40;
    constexpr quint32 pixelsPerMetre = 2835;

    QByteArray out;
    out.append("BM", 2);
    putU32(out, offset + imageSize);
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, offset);

    putU32(out, 40);
    putU32(out, quint32(width));
    putU32(out, quint32(height));
    putU16(out, 1);
    putU16(out, 24);
    putU32(out, 0);
    putU32(out, imageSize);
    putU32(out, pixelsPerMetre);
    putU32(out, pixelsPerMetre);
    putU32(out, 0);
    putU32(out, 0);

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.append(char(qBlue(colour)));
            out.append(char(qGreen(colour)));
            out.append(char(qRed(colour)));
        }
        out.append(QByteArray(rowBytes - width * 3, '\0'));
    }
    return out;
}

// Pixel-aligned and, at 32 x 32, without antialiasing: soft edges on the
// small parts just turn into mud.
void drawArrow(QPainter &p, int fromX, int toX, int y, bool smooth)
{
    const int dir = toX > fromX ? 1 : -1;
    const int neck = toX - 2 * dir;
    auto shape = [&](int dx, int dy) {
        QPolygon poly;
        poly << QPoint(fromX + dx, y + dy) << QPoint(neck + dx, y + dy)
             << QPoint(neck + dx, y - 2 + dy) << QPoint(toX + dx, y + dy)
             << QPoint(neck + dx, y + 2 + dy) << QPoint(neck + dx, y + dy);
        return poly;
    };
    auto paint = [&](const QColor &colour, int dx, int dy) {
        p.setPen(colour);
        p.setBrush(colour);
        p.drawPolygon(shape(dx, dy));
    };
    const QColor outline(60, 30, 0);
    if (smooth) {
        p.setPen(QPen(outline, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(outline);
        p.drawPolygon(shape(0, 0));
    } else {
        // Shifted dark copies give an even 1-pixel outline; a pen would not.
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                paint(outline, dx, dy);
    }
    paint(QColor(255, 205, 0), 0, 0);
}

void drawMonitor(QPainter &p, const QRect &bezel)
{
    const int cx = bezel.center().x();
    p.fillRect(QRect(cx - 1, bezel.bottom() + 1, 3, 3), QColor(90, 90, 100));
    p.fillRect(QRect(cx - 4, bezel.bottom() + 4, 9, 2), QColor(55, 55, 65));
    p.fillRect(QRect(cx - 3, bezel.bottom() + 4, 7, 1), QColor(120, 120, 130));

    p.fillRect(bezel, QColor(35, 35, 45));
    const QRect screen = bezel.adjusted(1, 1, -1, -2);
    QLinearGradient glass(screen.topLeft(), screen.bottomRight());
    glass.setColorAt(0.0, QColor(170, 240, 255));
    glass.setColorAt(1.0, QColor(20, 110, 200));
    p.fillRect(screen, glass);
}

// Drawn on a 32 x 32 grid. Larger icons scale the drawing, not the pixels,
// so that they are sharp; smaller ones shrink the 32 x 32 picture, whose
// one-pixel lines a smaller drawing would drop.
QImage drawIcon(int size = 32)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.scale(size / 32.0, size / 32.0);

    // Globe behind everything; its lower half is mostly hidden by the screens.
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF centre(16.5, 12.5);
    const qreal r = 11.5;
    QRadialGradient sea(centre + QPointF(-4, -5), r * 1.7);
    sea.setColorAt(0.0, QColor(130, 210, 255));
    sea.setColorAt(1.0, QColor(10, 60, 160));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 35, 100));
    p.drawEllipse(centre, r, r);
    p.setBrush(sea);
    p.drawEllipse(centre, r - 1, r - 1);

    // A little land so it reads as the Earth rather than a ball.
    p.save();
    QPainterPath ball;
    ball.addEllipse(centre, r - 1, r - 1);
    p.setClipPath(ball);
    p.setBrush(QColor(70, 170, 60));
    QPainterPath land;
    land.moveTo(7, 5);
    land.cubicTo(11, 1, 16, 3, 14, 7);
    land.cubicTo(13, 10, 10, 9, 10, 13);
    land.cubicTo(8, 14, 6, 10, 7, 5);
    land.moveTo(19, 3);
    land.cubicTo(24, 2, 28, 7, 27, 10);
    land.cubicTo(24, 11, 22, 8, 19, 9);
    land.cubicTo(17, 7, 17, 4, 19, 3);
    p.drawPath(land);
    p.restore();

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 240, 255), 1.0));
    p.drawEllipse(centre, r * 0.45, r - 1);

    p.setRenderHint(QPainter::Antialiasing, size > 32);
    const QColor grid(200, 240, 255);
    p.fillRect(QRect(16, 2, 1, 21), grid);
    p.fillRect(QRect(6, 12, 21, 1), grid);
    p.fillRect(QRect(9, 6, 15, 1), grid);

    drawMonitor(p, QRect(0, 14, 13, 11));
    drawMonitor(p, QRect(19, 14, 13, 11));

    drawArrow(p, 8, 23, 16, size > 32);
    drawArrow(p, 23, 8, 21, size > 32);

    p.end();
    return image;
}

struct Box {
    std::vector<QRgb> colours;
};

int channel(QRgb c, int which)
{
    return which == 0 ? qRed(c) : which == 1 ? qGreen(c) : qBlue(c);
}

// Median cut: enough for a small icon and deterministic, unlike dithering.
std::vector<QRgb> medianCut(std::vector<QRgb> colours, std::size_t maxColours)
{
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    if (colours.size() <= maxColours)
        return colours;

    std::vector<Box> boxes{Box{colours}};
    while (boxes.size() < maxColours) {
        int best = -1;
        int bestRange = 0;
        int bestChannel = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
            if (boxes[i].colours.size() < 2)
                continue;
            for (int ch = 0; ch < 3; ++ch) {
                const auto [lo, hi] = std::minmax_element(
                    boxes[i].colours.begin(), boxes[i].colours.end(),
                    [ch](QRgb a, QRgb b) { return channel(a, ch) < channel(b, ch); });
                const int range = channel(*hi, ch) - channel(*lo, ch);
                if (range > bestRange) {
                    best = i;
                    bestRange = range;
                    bestChannel = ch;
                }
            }
        }
        if (best < 0)
            break;
        auto &v = boxes[best].colours;
        std::sort(v.begin(), v.end(), [bestChannel](QRgb a, QRgb b) {
            return channel(a, bestChannel) < channel(b, bestChannel);
        });
        const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
        Box upper{std::vector<QRgb>(mid, v.end())};
        v.erase(mid, v.end());
        boxes.push_back(std::move(upper));
    }

    std::vector<QRgb> palette;
    for (const Box &box : boxes) {
        long sum[3] = {0, 0, 0};
        for (QRgb c : box.colours)
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += channel(c, ch);
        const long n = long(box.colours.size());
        palette.push_back(qRgb(int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n),
                               int((sum[2] + n / 2) / n)));
    }
    return palette;
}

int nearest(const std::array<QRgb, 256> &palette, int used, QRgb c)
{
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < used; ++i) {
        const long dr = qRed(palette[i]) - qRed(c);
        const long dg = qGreen(palette[i]) - qGreen(c);
        const long db = qBlue(palette[i]) - qBlue(c);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            best = i;
            bestDist = d;
        }
    }
    return best;
}

struct IndexedIcon {
    std::array<QRgb, 256> palette{};
    std::array<std::array<quint8, 32>, 32> index{};
    std::array<std::array<bool, 32>, 32> transparent{};
};

IndexedIcon quantize(const QImage &argb)
{
    const QImage src = argb.convertToFormat(QImage::Format_ARGB32);
    IndexedIcon icon;

    std::vector<QRgb> opaque;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb c = src.pixel(x, y);
            icon.transparent[y][x] = qAlpha(c) < 128;
            if (!icon.transparent[y][x])
                opaque.push_back(qRgb(qRed(c), qGreen(c), qBlue(c)));
        }
    }

    // Entry 0 stays black: transparent pixels use it so the XOR pass leaves
    // the background untouched.
    const std::vector<QRgb> colours = medianCut(opaque, 255);
    icon.palette[0] = qRgb(0, 0, 0);
    std::copy(colours.begin(), colours.end(), icon.palette.begin() + 1);
    const int used = 1 + int(colours.size());

    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (icon.transparent[y][x]) {
                icon.index[y][x] = 0;
            } else {
                const QRgb c = src.pixel(x, y);
                icon.index[y][x] = quint8(nearest(icon.palette, used, qRgb(qRed(c), qGreen(c), qBlue(c))));
            }
        }
    }
    return icon;
}

QByteArray icoBytes(const IndexedIcon &icon)
{
    constexpr int size = 32;
    constexpr quint32 xorBytes = size * size;
    constexpr quint32 andBytes = size * 4;
    constexpr quint32 imageBytes = 40 + 256 * 4 + xorBytes + andBytes;

    QByteArray out;
    putU16(out, 0);
    putU16(out, 1);
    putU16(out, 1);

    out.append(char(size));
    out.append(char(size));
    out.append(char(0)); // 256 colours
    out.append(char(0));
    putU16(out, 1);
    putU16(out, 8);
    putU32(out, imageBytes);
    putU32(out, 6 + 16);

    putU32(out, 40);
    putU32(out, size);
    putU32(out, size * 2); // XOR and AND bitmaps stacked
    putU16(out, 1);
    putU16(out, 8);
    putU32(out, 0);
    putU32(out, xorBytes + andBytes);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 0);

    for (QRgb c : icon.palette) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0));
    }

    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x)
            out.append(char(icon.index[y][x]));

    for (int y = size - 1; y >= 0; --y) {
        quint32 bits = 0;
        for (int x = 0; x < size; ++x)
            if (icon.transparent[y][x])
                bits |= 0x80000000u >> x;
        // Mask rows are stored most significant byte first.
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((bits >> shift) & 0xff));
    }
    return out;
}

QImage pngImage(const IndexedIcon &icon)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixel(x, y, icon.transparent[y][x]
                                     ? qRgba(0, 0, 0, 0)
                                     : (icon.palette[icon.index[y][x]] | 0xff000000u));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "no such folder: %s\n", argv[1]);
        return 2;
    }

    const IndexedIcon icon = quantize(drawIcon());

    bool ok = writeFile(dir.filePath(QStringLiteral("idle.bmp")), solidBmp(7, 174, qRgb(76, 255, 5)))
        && writeFile(dir.filePath(QStringLiteral("busy.bmp")), solidBmp(7, 174, qRgb(255, 45, 17)))
        && writeFile(dir.filePath(QStringLiteral("dozozeda.ico")), icoBytes(icon));
    if (ok && !pngImage(icon).save(dir.filePath(QStringLiteral("dozozeda.png")), "PNG")) {
        std::fprintf(stderr, "cannot write dozozeda.png\n");
        ok = false;
    }
    if (ok && !dir.mkpath(QStringLiteral("icons")))
        ok = false;
    for (const int size : {16, 24, 48, 64, 128, 256}) {
        const QString name = QStringLiteral("icons/dozozeda-%1.png").arg(size);
        const QImage image = size > 32
            ? drawIcon(size)
            : drawIcon().scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (ok && !image.save(dir.filePath(name), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
