#include "sources/DecimalNumber.h"
#include "sources/ExifData.h"
#include "sources/ExifParser.h"
#include "sources/ExifSummary.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <functional>
#include <limits>
#include <optional>

Q_DECLARE_METATYPE(ExifData)

// Lets QCOMPARE show a record that differs: its summary and the fields the summary leaves out.
char *toString(const ExifData &d)
{
    return qstrdup(qPrintable(ExifSummary::text(d) + QStringLiteral(" | ") + d.make()));
}

namespace {

constexpr quint16 Description = 0x010E, Make = 0x010F, Model = 0x0110, XRes = 0x011A, YRes = 0x011B,
                  DateTime = 0x0132, Exposure = 0x829A, FNumber = 0x829D, ExifPointer = 0x8769,
                  Iso = 0x8827, FocalLength = 0x920A, PixelX = 0xA002, PixelY = 0xA003,
                  KbFl = 0xA405;

// A directory entry. Up to four value bytes go into the entry, more after the table, unless
// `field` gives the entry's value field as is (an offset that leads nowhere).
struct Entry
{
    quint16 tag;
    quint16 format;
    quint32 count;
    QByteArray value;
    std::optional<quint32> field = std::nullopt;
};

QByteArray segment(uchar marker, const QByteArray &payload)
{
    QByteArray length(2, '\0');
    qToBigEndian(quint16(payload.size() + 2), length.data());
    return QByteArray("\xFF") + char(marker) + length + payload;
}

// A JPEG of the given segments, with a scan and an end that the reader must never need.
QByteArray jpeg(const QByteArray &segments)
{
    return QByteArray("\xFF\xD8") + segments + segment(0xDA, "scan") + QByteArray("\x5A\xFF\xD9");
}

// Writes EXIF data in one byte order.
struct Tiff
{
    bool big;

    template <typename T> QByteArray number(T v) const
    {
        QByteArray b(qsizetype(sizeof v), '\0');
        big ? qToBigEndian(v, b.data()) : qToLittleEndian(v, b.data());
        return b;
    }
    QByteArray u16(quint16 v) const { return number(v); }
    QByteArray u32(quint32 v) const { return number(v); }
    Entry text(quint16 tag, const QByteArray &s) const
    {
        return {tag, 2, quint32(s.size() + 1), s + '\0'};
    }
    Entry short16(quint16 tag, quint16 v) const { return {tag, 3, 1, u16(v)}; }
    Entry long32(quint16 tag, quint32 v) const { return {tag, 4, 1, u32(v)}; }
    Entry ratio(quint16 tag, quint32 n, quint32 d) const { return {tag, 5, 1, u32(n) + u32(d)}; }

    // The directory as it lies at TIFF offset `at`, followed by its values.
    QByteArray directory(const QList<Entry> &entries, quint32 at, quint32 next = 0) const
    {
        QByteArray table = u16(quint16(entries.size())), values;
        for (const Entry &e : entries) {
            table += u16(e.tag) + u16(e.format) + u32(e.count);
            if (e.field || e.value.size() > 4)
                table += u32(e.field.value_or(at + 6 + 12 * quint32(entries.size()) +
                                              quint32(values.size())));
            else
                table += e.value + QByteArray(4 - e.value.size(), '\0');
            if (!e.field && e.value.size() > 4)
                values += e.value;
        }
        return table + u32(next) + values;
    }
    // Header, IFD0 at `ifd0At` pointing to the EXIF directory when there is one, the EXIF
    // directory, then IFD1 linked from IFD0.
    QByteArray tiff(QList<Entry> ifd0, const QList<Entry> &exif = {}, const QList<Entry> &ifd1 = {},
                    quint32 ifd0At = 8) const
    {
        if (!exif.isEmpty())
            ifd0 << long32(ExifPointer, 0);
        const auto exifAt = quint32(ifd0At + directory(ifd0, 0).size());
        if (!exif.isEmpty())
            ifd0.last().value = u32(exifAt);
        const QByteArray exifDir = exif.isEmpty() ? QByteArray() : directory(exif, exifAt);
        const auto ifd1At = quint32(exifAt + exifDir.size());
        return QByteArray(big ? "MM" : "II") + u16(42) + u32(ifd0At) +
               QByteArray(ifd0At - 8, '\0') + directory(ifd0, ifd0At, ifd1.isEmpty() ? 0 : ifd1At) +
               exifDir + (ifd1.isEmpty() ? QByteArray() : directory(ifd1, ifd1At));
    }
    QByteArray app1(const QByteArray &t) const
    {
        return segment(0xE1, QByteArray("Exif\0\0", 6) + t);
    }
    QByteArray file(const QList<Entry> &ifd0, const QList<Entry> &exif = {}) const
    {
        return jpeg(app1(tiff(ifd0, exif)));
    }

    QList<Entry> sampleIfd0() const
    {
        return {text(Make, "ACME"),        text(Model, "CAM-1"),
                text(Description, "Quay"), text(DateTime, "2006:08:14 10:30:00"),
                ratio(XRes, 300, 1),       ratio(YRes, 600, 2)};
    }
    QList<Entry> sampleExif() const
    {
        return {ratio(Exposure, 10, 1250), ratio(FNumber, 28, 10), short16(Iso, 200),
                ratio(FocalLength, 50, 1), short16(PixelX, 3008),  long32(PixelY, 2000),
                short16(KbFl, 75)};
    }
    // With a thumbnail directory whose values must never reach the record.
    QByteArray sampleFile() const
    {
        return jpeg(app1(tiff(sampleIfd0(), sampleExif(),
                              {text(Make, "THUMB"), ratio(XRes, 72, 1), long32(PixelX, 160)})));
    }
};

ExifData sampleRecord()
{
    ExifData d;
    d.setValid(true);
    d.setMake(QStringLiteral("ACME"));
    d.setModel(QStringLiteral("CAM-1"));
    d.setDescription(QStringLiteral("Quay"));
    d.setDateTime(QStringLiteral("2006:08:14 10:30:00"));
    d.setResx(300.0f);
    d.setResy(300.0f);
    d.setExposure(QStringLiteral("10/1250")); // as stored, not reduced
    d.setFNumber(DecimalNumber(28, 10));
    d.setIso(200);
    d.setFocalLength(DecimalNumber(50, 1));
    d.setWidth(3008);
    d.setHeight(2000);
    d.setKbFl(75);
    return d;
}

ExifData edited(ExifData d, const std::function<void(ExifData &)> &edit)
{
    edit(d);
    return d;
}

ExifData parse(const QByteArray &bytes)
{
    ExifData d;
    ExifParser::parseImageData(bytes, d);
    return d;
}

} // namespace

class TestExif : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decimalText()
    {
        QCOMPARE(DecimalNumber(28, 10).toString(), QStringLiteral("2.8"));
        QCOMPARE(DecimalNumber(50, 1).toString(), QStringLiteral("50"));
        QCOMPARE(DecimalNumber(10, 1250).toString(), QStringLiteral("0.008"));
        QCOMPARE(DecimalNumber(5, 0).toString(), QStringLiteral("0"));
        // Rounded to 38 significant digits.
        QCOMPARE(DecimalNumber(1, 3).toString(), QStringLiteral("0.") + QString(38, u'3'));
        QCOMPARE(DecimalNumber(2, 3).toString(), QStringLiteral("0.") + QString(37, u'6') + u'7');
        QCOMPARE(DecimalNumber(28, 10), DecimalNumber(280, 100));
        QVERIFY(!(DecimalNumber(28, 10) == DecimalNumber(28, 100)));
        QCOMPARE(DecimalNumber::fromMantissa(15, -1, true).toString(), QStringLiteral("-1.5"));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ExifData>("expected");

        const ExifData none;
        const ExifData sample = sampleRecord();
        const ExifData abc = edited({}, [](ExifData &d) {
            d.setValid(true);
            d.setMake(QStringLiteral("ABC"));
        });
        // Every layout in both byte orders, which must give the same record.
        for (const Tiff t : {Tiff{false}, Tiff{true}}) {
            const auto row = [&t](const char *name) -> QTestData & {
                return QTest::newRow(
                    QByteArray(QByteArray(name) + (t.big ? " MM" : " II")).constData());
            };
            const QByteArray exif = t.app1(t.tiff(t.sampleIfd0(), t.sampleExif()));
            const QByteArray jfif = segment(0xE0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
            const Entry make = t.text(Make, "ABC");

            // Layouts of the file.
            row("exif first, thumbnail ignored") << t.sampleFile() << sample;
            row("jfif then exif") << jpeg(jfif + exif) << sample;
            row("xmp app1 first") << jpeg(segment(0xE1, "http://ns.adobe.com/xap/1.0/") + exif)
                                  << none;
            row("ifd0 not at 8") << jpeg(t.app1(t.tiff(t.sampleIfd0(), {}, {}, 16))) << none;
            row("app1 cut by the end of the file")
                << QByteArray("\xFF\xD8") + exif.chopped(10) << edited(sample, [](ExifData &d) {
                       d.setFocalLength({});
                       d.setFNumber({});
                   });

            // How values are taken.
            row("make inside the entry") << t.file({make}) << abc;
            row("kbFl as long ignored") << t.file({make}, {t.long32(KbFl, 75)}) << abc;
            row("text longer than the scratch area")
                << t.file({make, t.text(Description, QByteArray(2000, 'x'))})
                << edited(abc, [](ExifData &d) { d.setDescription(QString(1024, u'x')); });

            // Damaged directories: what can be read is, the rest is passed over.
            row("value offset past the end") << t.file({{XRes, 5, 1, {}, 60000u}, make}) << abc;
            row("format 13") << t.file({{Make, 13, 1, "XYZ"}, make}) << abc;
            row("byte count above 32 bits")
                << t.file({{PixelX, 4, 0x40000001, t.u32(9)}, make}) << abc;
            row("exif pointer back to ifd0")
                << t.file(t.sampleIfd0(), t.sampleExif() << t.long32(ExifPointer, 8)) << sample;
            row("zero denominators")
                << t.file({make, t.ratio(XRes, 300, 0), t.ratio(FNumber, 28, 10)},
                          {t.ratio(FNumber, 28, 0), t.ratio(FocalLength, 0, 0)})
                << edited(abc, [](ExifData &d) {
                       d.setResx(std::numeric_limits<float>::infinity());
                       d.setFNumber(DecimalNumber(28, 10));
                   });
        }
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ExifData, expected);
        QCOMPARE(::parse(bytes), expected);
    }

    void damagedFilesStayInside()
    {
        // Every cut, and every byte set to 0x00 or 0xFF: under the sanitizers a read outside the
        // data fails here, and the record must still be one the summary can show.
        for (const Tiff t : {Tiff{false}, Tiff{true}}) {
            const QByteArray good = t.sampleFile();
            for (qsizetype i = 0; i < good.size(); ++i) {
                QVERIFY(!ExifSummary::text(::parse(good.left(i))).isEmpty());
                for (const char damage : {'\x00', '\xFF'}) {
                    QByteArray bad = good;
                    bad[i] = damage;
                    QVERIFY(!ExifSummary::text(::parse(bad)).isEmpty());
                }
            }
        }
    }

    void parseImageFromFile()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("a.jpg")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Tiff{true}.sampleFile()) > 0);
        file.close();
        ExifData data;
        QVERIFY(ExifParser::parseImage(file.fileName(), data));
        QCOMPARE(data, sampleRecord());
        // A missing file leaves the record as it was.
        QVERIFY(!ExifParser::parseImage(dir.filePath(QStringLiteral("missing.jpg")), data));
        QCOMPARE(data, sampleRecord());
    }

    void summary()
    {
        // A "%1" in a value stays as it is.
        const ExifData bare = edited({}, [](ExifData &d) {
            d.setValid(true);
            d.setModel(QStringLiteral("%1"));
            d.setResx(72.5f);
        });
        QCOMPARE(ExifSummary::text(bare),
                 QStringLiteral("%1 on \ns at f/0, ISO 0, FL 0 mm\n0 x 0 @ 72.5 dpi"));
    }
};

QTEST_GUILESS_MAIN(TestExif)
#include "tst_exif.moc"
