// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "imageio/DecimalNumber.h"
#include "imageio/ExifData.h"
#include "imageio/ExifParser.h"
#include "imageio/ExifSummary.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <limits>

using namespace inkveil;

Q_DECLARE_METATYPE(ExifData)

// Lets QCOMPARE show a record that differs: its summary and the fields the summary leaves out.
char *toString(const ExifData &d)
{
    return qstrdup(qPrintable(ExifSummary::text(d) + QStringLiteral(" | ") + d.make()));
}

namespace {

constexpr quint16 Description = 0x010E, Make = 0x010F, Model = 0x0110, XRes = 0x011A, YRes = 0x011B,
                  DateTime = 0x0132, Exposure = 0x829A, FNumber = 0x829D, Iso = 0x8827,
                  FocalLength = 0x920A, PixelX = 0xA002, PixelY = 0xA003, KbFl = 0xA405,
                  Artist = 0x013B, Copyright = 0x8298, LensModel = 0xA434;

QList<Entry> sampleIfd0(const Tiff &t)
{
    return {t.text(Make, "ACME"),        t.text(Model, "CAM-1"),
            t.text(Description, "Quay"), t.text(DateTime, "2006:08:14 10:30:00"),
            t.ratio(XRes, 300, 1),       t.ratio(YRes, 600, 2)};
}

QList<Entry> sampleExif(const Tiff &t)
{
    return {t.ratio(Exposure, 10, 1250), t.ratio(FNumber, 28, 10), t.short16(Iso, 200),
            t.ratio(FocalLength, 50, 1), t.short16(PixelX, 3008),  t.long32(PixelY, 2000),
            t.short16(KbFl, 75)};
}

// With a thumbnail directory whose values must never reach the record.
QByteArray sampleFile(const Tiff &t)
{
    return jpeg(
        t.app1(t.tiff(sampleIfd0(t), sampleExif(t),
                      {t.text(Make, "THUMB"), t.ratio(XRes, 72, 1), t.long32(PixelX, 160)})));
}

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
            const QByteArray exif = t.app1(t.tiff(sampleIfd0(t), sampleExif(t)));
            const QByteArray jfif = segment(0xE0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
            const Entry make = t.text(Make, "ABC");

            // Layouts of the file.
            row("exif first, thumbnail ignored") << sampleFile(t) << sample;
            row("jfif then exif") << jpeg(jfif + exif) << sample;
            row("xmp app1 first") << jpeg(segment(0xE1, "http://ns.adobe.com/xap/1.0/") + exif)
                                  << none;
            row("ifd0 not at 8") << jpeg(t.app1(t.tiff(sampleIfd0(t), {}, {}, 16))) << none;
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

            // A blank photographer's copyright gives way to the editor's, after the NUL.
            row("artist, copyright and lens")
                << t.file({make, t.text(Artist, " Ana Lima "),
                           t.text(Copyright, QByteArray(" \0Studio North", 14))},
                          {t.text(LensModel, "EF50mm f/1.8")})
                << edited(abc, [](ExifData &d) {
                       d.setArtist(QStringLiteral("Ana Lima"));
                       d.setCopyright(QStringLiteral("Studio North"));
                       d.setLensModel(QStringLiteral("EF50mm f/1.8"));
                   });

            // Damaged directories: what can be read is, the rest is passed over.
            row("value offset past the end") << t.file({{XRes, 5, 1, {}, 60000u}, make}) << abc;
            row("format 13") << t.file({{Make, 13, 1, "XYZ"}, make}) << abc;
            row("byte count above 32 bits")
                << t.file({{PixelX, 4, 0x40000001, t.u32(9)}, make}) << abc;
            row("exif pointer back to ifd0")
                << t.file(sampleIfd0(t), sampleExif(t) << t.long32(Tiff::ExifPointer, 8)) << sample;
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
            const QByteArray good = sampleFile(t);
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
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(sampleFile(Tiff{true})) > 0);
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
        const ExifData credited = edited(bare, [](ExifData &d) {
            d.setLensModel(QStringLiteral("EF50mm"));
            d.setArtist(QStringLiteral("Ana"));
        });
        QCOMPARE(ExifSummary::lines(credited).last(), QStringLiteral("EF50mm; by Ana"));
    }
};

QTEST_GUILESS_MAIN(TestExif)
#include "tst_exif.moc"
