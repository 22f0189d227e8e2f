#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTest>
#include <QtEndian>

#include "dozozeda_resources.h"

namespace {

QByteArray readSourceFile(const QString &name)
{
    QFile file(QStringLiteral(DOZOZEDA_RESOURCES_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

quint16 u16(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// Decoded view of the single 32x32 8-bit image in dozozeda.ico.
struct Icon {
    QByteArray bytes;
    int bitmap = 0; // offset of BITMAPINFOHEADER

    int paletteAt() const { return bitmap + 40; }
    int xorAt() const { return paletteAt() + 256 * 4; }
    int andAt() const { return xorAt() + 32 * 32; }

    // Rows are stored bottom-up; y here is top-down like QImage.
    quint8 index(int x, int y) const { return quint8(bytes[xorAt() + (31 - y) * 32 + x]); }
    bool transparent(int x, int y) const
    {
        const quint8 byte = quint8(bytes[andAt() + (31 - y) * 4 + x / 8]);
        return byte & (0x80 >> (x % 8));
    }
    QRgb colour(int i) const
    {
        const int at = paletteAt() + i * 4;
        return qRgb(quint8(bytes[at + 2]), quint8(bytes[at + 1]), quint8(bytes[at]));
    }
};

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void statusPictureBytes_data();
    void statusPictureBytes();
    void statusPictureFromQtResources_data();
    void statusPictureFromQtResources();
    void iconFile();
    void pngMatchesIcon();
};

void TestResources::statusPictureBytes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("resource");
    QTest::newRow("idle") << QStringLiteral("idle.bmp") << QColor(76, 255, 5)
                          << dozozeda::resources::idlePicture();
    QTest::newRow("busy") << QStringLiteral("busy.bmp") << QColor(255, 45, 17)
                          << dozozeda::resources::busyPicture();
}

void TestResources::statusPictureBytes()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);

    const QByteArray b = readSourceFile(name);
    QCOMPARE(b.size(), 4230);

    QCOMPARE(b.left(2), QByteArray("BM"));
    QCOMPARE(u32(b, 2), 4230u);
    QCOMPARE(u32(b, 6), 0u);
    QCOMPARE(u32(b, 10), 54u);

    QCOMPARE(u32(b, 14), 40u);
    QCOMPARE(qint32(u32(b, 18)), 7);
    QCOMPARE(qint32(u32(b, 22)), 174); // positive: bottom-up
    QCOMPARE(u16(b, 26), quint16(1));
    QCOMPARE(u16(b, 28), quint16(24));
    QCOMPARE(u32(b, 30), 0u);
    QCOMPARE(u32(b, 34), 4176u);
    QCOMPARE(u32(b, 38), 2835u);
    QCOMPARE(u32(b, 42), 2835u);
    QCOMPARE(u32(b, 46), 0u);
    QCOMPARE(u32(b, 50), 0u);

    constexpr int rowBytes = 24;
    for (int row = 0; row < 174; ++row) {
        const int start = 54 + row * rowBytes;
        for (int x = 0; x < 7; ++x) {
            const int at = start + x * 3;
            // Stored as B, G, R.
            if (quint8(b[at]) != colour.blue() || quint8(b[at + 1]) != colour.green()
                || quint8(b[at + 2]) != colour.red())
                QFAIL(qPrintable(QStringLiteral("wrong colour at row %1, column %2").arg(row).arg(x)));
        }
        for (int pad = 21; pad < rowBytes; ++pad)
            if (b[start + pad] != '\0')
                QFAIL(qPrintable(QStringLiteral("non-zero padding in row %1").arg(row)));
    }
}

void TestResources::statusPictureFromQtResources_data()
{
    statusPictureBytes_data();
}

void TestResources::statusPictureFromQtResources()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    QFETCH(QString, resource);

    QCOMPARE(resource, QStringLiteral(":/") + name);
    const QImage image(resource);
    QVERIFY2(!image.isNull(), "not compiled into dozozeda_resources, or not initialised");
    QCOMPARE(image.size(), QSize(7, 174));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour.rgb())
                QFAIL(qPrintable(QStringLiteral("wrong colour at %1,%2").arg(x).arg(y)));
}

void TestResources::iconFile()
{
    Icon icon{readSourceFile(QStringLiteral("dozozeda.ico"))};
    const QByteArray &b = icon.bytes;
    QVERIFY(b.size() > 22);

    QCOMPARE(u16(b, 0), quint16(0));
    QCOMPARE(u16(b, 2), quint16(1));
    QCOMPARE(u16(b, 4), quint16(1));

    QCOMPARE(quint8(b[6]), quint8(32));
    QCOMPARE(quint8(b[7]), quint8(32));
    QCOMPARE(quint8(b[8]), quint8(0)); // 256 colours
    QCOMPARE(quint8(b[9]), quint8(0));
    QCOMPARE(u16(b, 10), quint16(1));
    QCOMPARE(u16(b, 12), quint16(8));
    const quint32 length = u32(b, 14);
    icon.bitmap = int(u32(b, 18));
    QCOMPARE(icon.bitmap, 22);
    QCOMPARE(qsizetype(icon.bitmap + length), b.size());

    const int h = icon.bitmap;
    QCOMPARE(u32(b, h), 40u);
    QCOMPARE(qint32(u32(b, h + 4)), 32);
    QCOMPARE(qint32(u32(b, h + 8)), 64); // XOR and AND masks together
    QCOMPARE(u16(b, h + 12), quint16(1));
    QCOMPARE(u16(b, h + 14), quint16(8));
    QCOMPARE(u32(b, h + 16), 0u);
    QCOMPARE(length, 40u + 256 * 4 + 32 * 32 + 32 * 4);

    int transparent = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!icon.transparent(x, y))
                continue;
            ++transparent;
            // Windows XORs these onto the desktop; anything but black shows.
            if (icon.colour(icon.index(x, y)) != qRgb(0, 0, 0))
                QFAIL(qPrintable(QStringLiteral("transparent pixel %1,%2 is not black").arg(x).arg(y)));
        }
    }
    QVERIFY2(transparent > 0, "mask has no transparent pixels");
    QVERIFY2(transparent < 32 * 32 / 2, "mask leaves too little of the picture");
}

// The PNG is the same picture on Linux; catches regenerating only one of them.
void TestResources::pngMatchesIcon()
{
    Icon icon{readSourceFile(QStringLiteral("dozozeda.ico")), 22};
    QCOMPARE(icon.bytes.size(), 22 + 2216);

    const QImage fromTree(QStringLiteral(DOZOZEDA_RESOURCES_DIR "/dozozeda.png"), "PNG");
    const QImage fromQrc(dozozeda::resources::windowIcon());
    QVERIFY(!fromTree.isNull());
    QVERIFY2(!fromQrc.isNull(), "not compiled into dozozeda_resources");
    QCOMPARE(fromQrc, fromTree);
    QCOMPARE(fromTree.size(), QSize(32, 32));
    QVERIFY(fromTree.hasAlphaChannel());

    const QImage png = fromTree.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb p = png.pixel(x, y);
            const QString where = QStringLiteral(" at %1,%2").arg(x).arg(y);
            if (icon.transparent(x, y)) {
                if (qAlpha(p) != 0)
                    QFAIL(qPrintable(QStringLiteral("PNG opaque where icon is transparent") + where));
            } else {
                if (qAlpha(p) != 255)
                    QFAIL(qPrintable(QStringLiteral("PNG not opaque where icon is") + where));
                if ((p & 0xffffff) != (icon.colour(icon.index(x, y)) & 0xffffff))
                    QFAIL(qPrintable(QStringLiteral("PNG colour differs from icon") + where));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestResources)
#include "test_resources.moc"
