#include <QColor>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

#include "dozozeda_resources.h"

namespace {

QByteArray readSourceFile(const QString &name)
{
    QFile file(QStringLiteral(DOZOZEDA_RESOURCES_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Field {
    int at;
    int bytes;
    quint32 value;
};

// The first little-endian header field that differs, or nothing.
QString fieldMismatch(const QByteArray &b, std::initializer_list<Field> fields)
{
    for (const Field &f : fields) {
        const quint32 actual = f.bytes == 1 ? quint8(b[f.at])
            : f.bytes == 2                  ? qFromLittleEndian<quint16>(b.constData() + f.at)
                                            : qFromLittleEndian<quint32>(b.constData() + f.at);
        if (actual != f.value)
            return QStringLiteral("byte %1 holds %2, not %3").arg(f.at).arg(actual).arg(f.value);
    }
    return {};
}

// The single 32x32 8-bit image in dozozeda.ico, its bitmap at byte 22.
struct Icon {
    QByteArray bytes = readSourceFile(QStringLiteral("dozozeda.ico"));
    static constexpr int palette = 22 + 40;
    static constexpr int pixels = palette + 256 * 4;
    static constexpr int mask = pixels + 32 * 32;

    // Rows are stored bottom-up; y here is top-down like QImage.
    bool transparent(int x, int y) const { return quint8(bytes[mask + (31 - y) * 4 + x / 8]) & (0x80 >> (x % 8)); }
    QRgb colour(int x, int y) const
    {
        const int at = palette + quint8(bytes[pixels + (31 - y) * 32 + x]) * 4;
        return qRgb(quint8(bytes[at + 2]), quint8(bytes[at + 1]), quint8(bytes[at]));
    }
};

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void statusPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("resource");
        QTest::newRow("idle") << QStringLiteral("idle.bmp") << QColor(76, 255, 5) << dozozeda::resources::idlePicture();
        QTest::newRow("busy") << QStringLiteral("busy.bmp") << QColor(255, 45, 17) << dozozeda::resources::busyPicture();
    }

    void statusPicture()
    {
        QFETCH(QString, name);
        QFETCH(QColor, colour);
        QFETCH(QString, resource);
        const QByteArray b = readSourceFile(name);
        QCOMPARE(b.size(), 4230);
        QCOMPARE(b.left(2), QByteArray("BM"));
        // A 7 x 174 bottom-up, uncompressed 24-bit bitmap at 2835 pixels per metre.
        const QString mismatch = fieldMismatch(b, {{2, 4, 4230}, {6, 4, 0}, {10, 4, 54}, {14, 4, 40}, {18, 4, 7},
                                                   {22, 4, 174}, {26, 2, 1}, {28, 2, 24}, {30, 4, 0}, {34, 4, 4176},
                                                   {38, 4, 2835}, {42, 4, 2835}, {46, 4, 0}, {50, 4, 0}});
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // Each row: 7 pixels as B, G, R, then zeros up to a multiple of four bytes.
        QByteArray row;
        for (int x = 0; x < 7; ++x)
            row.append(char(colour.blue())).append(char(colour.green())).append(char(colour.red()));
        QCOMPARE(b.mid(54), row.append(3, '\0').repeated(174));

        QCOMPARE(resource, QStringLiteral(":/") + name);
        const QImage image(resource);
        QVERIFY2(!image.isNull(), "not compiled into dozozeda_resources");
        QImage expected(7, 174, QImage::Format_RGB32);
        expected.fill(colour);
        QCOMPARE(image.convertToFormat(QImage::Format_RGB32), expected);
    }

    void iconFile()
    {
        const Icon icon;
        QCOMPARE(icon.bytes.size(), Icon::mask + 32 * 4);
        // One 32 x 32 image of 256 colours right after the directory; its
        // height counts the colour and the transparency masks together.
        const QString mismatch = fieldMismatch(icon.bytes, {{0, 2, 0}, {2, 2, 1}, {4, 2, 1}, {6, 1, 32}, {7, 1, 32},
                                                            {8, 1, 0}, {9, 1, 0}, {10, 2, 1}, {12, 2, 8}, {14, 4, 2216},
                                                            {18, 4, 22}, {22, 4, 40}, {26, 4, 32}, {30, 4, 64},
                                                            {34, 2, 1}, {36, 2, 8}, {38, 4, 0}});
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

        int transparent = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if (!icon.transparent(x, y))
                    continue;
                ++transparent;
                // Windows XORs these onto the desktop; anything but black shows.
                if (icon.colour(x, y) != qRgb(0, 0, 0))
                    QFAIL(qPrintable(QStringLiteral("transparent pixel %1,%2 is not black").arg(x).arg(y)));
            }
        }
        QVERIFY(transparent > 0 && transparent < 32 * 32 / 2);
    }

    // The PNG is the same picture on Linux; catches regenerating only one of them.
    void pngMatchesIcon()
    {
        const Icon icon;
        const QImage fromTree(QStringLiteral(DOZOZEDA_RESOURCES_DIR "/dozozeda.png"), "PNG");
        QVERIFY2(!fromTree.isNull(), "no PNG in the tree");
        QCOMPARE(QImage(dozozeda::resources::windowIcon()), fromTree);
        QCOMPARE(fromTree.size(), QSize(32, 32));
        QVERIFY(fromTree.hasAlphaChannel());

        const QImage png = fromTree.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb p = png.pixel(x, y);
                if (icon.transparent(x, y) ? qAlpha(p) != 0 : p != icon.colour(x, y))
                    QFAIL(qPrintable(QStringLiteral("PNG differs from the icon at %1,%2").arg(x).arg(y)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestResources)
#include "test_resources.moc"
