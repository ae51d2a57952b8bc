// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "batch/BatchEngine.h"
#include "imageio/AvifEncoder.h"
#include "imageio/ExifData.h"
#include "imageio/ExifParser.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageFormat.h"
#include "imageio/ImageToolkit.h"
#include "imageio/MetadataCopier.h"
#include "output/SummaryText.h"
#include "watermarks/Overlay.h"

#include <QBuffer>
#include <QColorSpace>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <exiv2/exiv2.hpp>
#include <zlib.h>

#include <cstring>

using namespace inkveil;

namespace {

// The upright photo: white with a red top-left corner, wider than high.
constexpr int Width = 60;
constexpr int Height = 40;

QImage uprightPhoto()
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(0, 0, 20, 20, Qt::red);
    return image;
}

QByteArray jpegOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

// A JPEG as a camera or phone leaves it: pixels stored turned as `orientation` says, a Display P3
// profile, and EXIF (with a maker note, GPS, serial numbers and a preview thumbnail), IPTC and
// XMP written by Exiv2.
void writeCameraPhoto(const QString &path, const int orientation)
{
    QImage stored = uprightPhoto().transformed(QTransform().rotate(orientation == 6 ? -90 : 90));
    stored.setColorSpace(QColorSpace::DisplayP3);
    QVERIFY(writeFile(path, jpegOf(stored)));

    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData &exif = image->exifData();
    exif["Exif.Image.Make"] = "Canon";
    exif["Exif.Image.Model"] = "Canon EOS 5D Mark IV";
    exif["Exif.Image.Orientation"] = static_cast<uint16_t>(orientation);
    exif["Exif.Image.Artist"] = "Ana Lopez";
    exif["Exif.Image.CameraSerialNumber"] = "CSN-1";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:06:01 12:00:00";
    exif["Exif.Photo.BodySerialNumber"] = "BSN-2";
    exif["Exif.Photo.LensSerialNumber"] = "LSN-3";
    exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(stored.width());
    exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(stored.height());
    exif["Exif.Photo.CameraOwnerName"] = "Ana Lopez";
    exif["Exif.Photo.ImageUniqueID"] = "0123456789abcdef0123456789abcdef";
    exif["Exif.Canon.OwnerName"] = "Ana Lopez";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 6/1 0/1";
    const QByteArray thumbnail = jpegOf(stored.scaled(12, 8));
    Exiv2::ExifThumb(exif).setJpegThumbnail(
        reinterpret_cast<const Exiv2::byte *>(thumbnail.constData()),
        static_cast<long>(thumbnail.size()));
    Exiv2::IptcData &iptc = image->iptcData();
    iptc["Iptc.Application2.Byline"] = "Ana Lopez";
    iptc["Iptc.Application2.Copyright"] = "(c) Ana Lopez";
    iptc["Iptc.Application2.City"] = "Lyon";
    iptc["Iptc.Application2.Keywords"] = "river"; // in IPTC only
    Exiv2::XmpData &xmp = image->xmpData();
    xmp["Xmp.dc.creator"] = "Ana Lopez";
    xmp["Xmp.dc.rights"] = "(c) Ana Lopez";
    xmp["Xmp.tiff.Orientation"] = std::to_string(orientation);
    xmp["Xmp.photoshop.City"] = "Lyon";
    xmp["Xmp.exif.GPSLatitude"] = "48,6.0N";
    xmp["Xmp.aux.SerialNumber"] = "BSN-2";
    xmp["Xmp.aux.OwnerName"] = "Ana Lopez";
    // The photo before a phone's portrait blur.
    Exiv2::XmpProperties::registerNs("http://ns.google.com/photos/1.0/image/", "GImage");
    xmp["Xmp.GImage.Data"] = thumbnail.toBase64().toStdString();
    // A drone's position, in its maker's own schema.
    Exiv2::XmpProperties::registerNs("http://www.dji.com/drone-dji/1.0/", "drone-dji");
    xmp["Xmp.drone-dji.GpsLatitude"] = "45.7640";
    xmp["Xmp.drone-dji.AbsoluteAltitude"] = "+312.50";
    xmp["Xmp.exifEX.CameraOwnerName"] = "Ana Lopez";
    image->writeMetadata();
}

// A minimal ICC v2 display profile for greyscale: D50 white, gamma 2.2.
QByteArray greyProfile()
{
    const auto u32 = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return bytes;
    };
    const QByteArray d50 = u32(0xF6D6) + u32(0x10000) + u32(0xD32D);
    QByteArray description = QByteArray("desc") + u32(0) + u32(5) + QByteArray("Grey", 5) + u32(0) +
                             u32(0) + QByteArray(3, '\0') + QByteArray(67, '\0');
    const QByteArray whitePoint = QByteArray("XYZ ") + u32(0) + d50;
    const QByteArray curve = QByteArray("curv") + u32(0) + u32(1) + QByteArray("\x02\x33\0\0", 4);
    description.append(QByteArray((4 - description.size() % 4) % 4, '\0'));
    const QList<std::pair<QByteArray, QByteArray>> tags{
        {"desc", description}, {"wtpt", whitePoint}, {"kTRC", curve}};
    QByteArray table = u32(quint32(tags.size()));
    QByteArray data;
    quint32 offset = 128 + 4 + 12 * quint32(tags.size());
    for (const auto &[signature, body] : tags) {
        table += signature + u32(offset + quint32(data.size())) + u32(quint32(body.size()));
        data += body;
    }
    QByteArray header = u32(quint32(128 + table.size() + data.size())) + u32(0) + u32(0x02100000) +
                        QByteArray("mntrGRAYXYZ ") + QByteArray(12, '\0') + QByteArray("acsp") +
                        QByteArray(24, '\0') + u32(0) + d50 + QByteArray(48, '\0');
    return header + table + data;
}

// The previews Exiv2 finds in a file, its EXIF thumbnail and maker notes' previews among them.
int previewCount(const QString &path)
{
    const auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    return static_cast<int>(Exiv2::PreviewManager(*image).getPreviewProperties().size());
}

// exiftool's reading of a file: "Group:Tag" to the value, numbers as numbers.
QVariantMap exiftool(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-G1"),
                                               QStringLiteral("-a"), QStringLiteral("-n"), path});
    if (!process.waitForFinished(30000))
        return {};
    const QJsonArray files = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    return files.isEmpty() ? QVariantMap() : files.first().toObject().toVariantMap();
}

QStringList keysIn(const QVariantMap &tags, const QStringList &keys)
{
    QStringList found;
    for (const QString &key : keys)
        if (tags.contains(key))
            found.append(key);
    return found;
}

// What the three modes differ by.
const QStringList Authorship{"IFD0:Make",    "IFD0:Artist",          "ExifIFD:DateTimeOriginal",
                             "IPTC:By-line", "IPTC:CopyrightNotice", "XMP-dc:Creator",
                             "XMP-dc:Rights"};
const QStringList Private{
    "GPS:GPSLatitude",         "ExifIFD:SerialNumber",      "ExifIFD:LensSerialNumber",
    "IFD0:CameraSerialNumber", "Canon:OwnerName",           "IPTC:City",
    "XMP-photoshop:City",      "XMP-exif:GPSLatitude",      "XMP-aux:SerialNumber",
    "ExifIFD:OwnerName",       "ExifIFD:ImageUniqueID",     "XMP-aux:OwnerName",
    "XMP-exifEX:OwnerName",    "XMP-drone-dji:GPSLatitude", "XMP-drone-dji:AbsoluteAltitude"};

} // namespace

class TestFidelity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    }

    void modes_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("orientation");
        const char *const names[] = {"keep", "private", "none"};
        int orientation = 6;
        for (const char *format : {"jpeg", "tiff", "png", "webp", "avif"}) {
            for (int mode = 0; mode < 3; ++mode) {
                QTest::addRow("%s %s %d", format, names[mode], orientation)
                    << QString::fromLatin1(format) << mode << orientation;
                orientation = orientation == 6 ? 8 : 6;
            }
        }
    }

    void modes()
    {
        QFETCH(QString, format);
        QFETCH(int, mode);
        QFETCH(int, orientation);
        if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
            QSKIP("exiftool (libimage-exiftool-perl) is not installed");
        const QString source =
            m_dir.filePath(QStringLiteral("%1-%2-%3.jpg").arg(format).arg(mode).arg(orientation));
        writeCameraPhoto(source, orientation);
        const QVariantMap before = exiftool(source);
        QCOMPARE(keysIn(before, Authorship + Private), Authorship + Private);
        QVERIFY(before.contains(QStringLiteral("IFD1:ThumbnailImage")));

        const auto result =
            process(source, QStringLiteral("out"), format, OutputOptions::Metadata(mode));
        QVERIFY(result.ok());
        QVERIFY(result.note.isEmpty());

        const QImage written = ImageToolkit::decode(result.outputPath)->image();
        QCOMPARE(written.size(), QSize(Width, Height));
        QVERIFY(near(written.pixel(5, 5), qRgb(255, 0, 0), 40));
        QVERIFY(near(written.pixel(Width - 5, Height - 5), qRgb(255, 255, 255), 40));

        const QVariantMap tags = exiftool(result.outputPath);
        QVERIFY2(!tags.contains(QStringLiteral("ExifTool:Warning")),
                 qPrintable(tags.value(QStringLiteral("ExifTool:Warning")).toString()));
        // The colour profile is colour, not camera data: every mode keeps it.
        QCOMPARE(tags.value(QStringLiteral("ICC_Profile:ProfileDescription")).toString(),
                 before.value(QStringLiteral("ICC_Profile:ProfileDescription")).toString());
        // WebP and AVIF have no place for IPTC: its fields become XMP.
        const bool iptc = ImageFormats::find(format)->metadata & ImageFormatInfo::Iptc;
        const auto carried = [iptc](QStringList keys) {
            if (!iptc)
                keys.removeIf(
                    [](const QString &key) { return key.startsWith(QLatin1String("IPTC:")); });
            return keys;
        };
        QCOMPARE(keysIn(tags, Authorship), mode == 2 ? QStringList() : carried(Authorship));
        QCOMPARE(keysIn(tags, Private), mode == 0 ? carried(Private) : QStringList());
        for (auto tag = tags.cbegin(); tag != tags.cend(); ++tag) {
            QVERIFY2(!tag.key().startsWith(QLatin1String("IFD1:")) &&
                         !tag.key().startsWith(QLatin1String("XMP-GImage:")),
                     qPrintable(tag.key()));
            if (mode == 2)
                QVERIFY2(!tag.key().startsWith(QLatin1String("XMP")) &&
                             !tag.key().startsWith(QLatin1String("ExifIFD:")) &&
                             !tag.key().startsWith(QLatin1String("IPTC:")),
                         qPrintable(tag.key()));
        }
        if (mode == 2)
            return;
        QVERIFY(tags.contains(iptc ? QStringLiteral("IPTC:Keywords")
                                   : QStringLiteral("XMP-dc:Subject")));
        if (format == QLatin1String("png")) { // in the chunk readers look for
            const QByteArray file = readFile(result.outputPath);
            QVERIFY(file.contains("eXIf") && !file.contains("Raw profile type exif"));
            ExifData exif; // and where our own reader finds it
            QVERIFY(ExifParser::parseImage(result.outputPath, exif).ok());
            QCOMPARE(exif.make(), QStringLiteral("Canon"));
        }
        QCOMPARE(tags.value(QStringLiteral("IFD0:Orientation")).toInt(), 1);
        QCOMPARE(tags.value(QStringLiteral("XMP-tiff:Orientation")).toInt(), 1);
        QCOMPARE(tags.value(QStringLiteral("ExifIFD:ExifImageWidth")).toInt(), Width);
        QCOMPARE(tags.value(QStringLiteral("ExifIFD:ExifImageHeight")).toInt(), Height);
        QCOMPARE(tags.value(QStringLiteral("IFD0:XResolution")).toInt(),
                 before.value(QStringLiteral("JFIF:XResolution")).toInt());
    }

    void heifSources_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("mode");
        for (const char *format : {"jpeg", "png", "webp", "avif"}) {
            QTest::addRow("%s keep", format) << QString::fromLatin1(format) << 0;
            QTest::addRow("%s private", format) << QString::fromLatin1(format) << 1;
        }
    }

    // A HEIF photo's camera data sits in items of the file, where Exiv2 alone would see a video.
    void heifSources()
    {
        QFETCH(QString, format);
        QFETCH(int, mode);
        if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
            QSKIP("exiftool (libimage-exiftool-perl) is not installed");
        const QString source = heifSource();
        QVERIFY(!source.isEmpty());
        const auto result =
            process(source, QStringLiteral("from-heif"), format, OutputOptions::Metadata(mode));
        QVERIFY(result.ok());
        QVERIFY(result.note.isEmpty());

        const QVariantMap tags = exiftool(result.outputPath);
        for (auto tag = tags.cbegin(); tag != tags.cend(); ++tag) {
            QVERIFY2(!tag.key().startsWith(QLatin1String("XMP-video")), qPrintable(tag.key()));
            QVERIFY2(!tag.value().toString().contains(source), qPrintable(tag.key()));
        }
        const QStringList creator{"XMP-dc:Creator", "IFD0:Make", "IFD0:Artist",
                                  "ExifIFD:DateTimeOriginal"};
        const QStringList location{"XMP-exif:GPSLatitude", "GPS:GPSLatitude"};
        QCOMPARE(keysIn(tags, creator + location), mode == 0 ? creator + location : creator);
        QCOMPARE(tags.value(QStringLiteral("IFD0:XResolution")).toInt(), 72);
    }

    void makerNotePreviewsDropped_data()
    {
        QTest::addColumn<QString>("format");
        for (const char *format : {"jpeg", "tiff", "png"})
            QTest::newRow(format) << QString::fromLatin1(format);
    }

    // A preview in the maker note is the photo without its watermarks.
    void makerNotePreviewsDropped()
    {
        QFETCH(QString, format);
        const QString source = m_dir.filePath(QStringLiteral("casio-%1.jpg").arg(format));
        QVERIFY(writeFile(source, jpegOf(uprightPhoto())));
        {
            auto image = Exiv2::ImageFactory::open(QFile::encodeName(source).toStdString());
            Exiv2::ExifData &exif = image->exifData();
            exif["Exif.Image.Make"] = "CASIO COMPUTER CO.,LTD.";
            exif["Exif.Casio2.FocusMode"] = static_cast<uint16_t>(2);
            const QByteArray preview = jpegOf(uprightPhoto());
            Exiv2::DataValue value(Exiv2::undefined);
            value.read(reinterpret_cast<const Exiv2::byte *>(preview.constData()),
                       static_cast<long>(preview.size()), Exiv2::littleEndian);
            exif["Exif.Casio2.PreviewImage"] = value;
            image->writeMetadata();
        }
        QCOMPARE(previewCount(source), 1);

        const auto result = process(source, QStringLiteral("previews"), format);
        QVERIFY(result.ok());
        QCOMPARE(previewCount(result.outputPath), 0);
        // The rest of the maker note travels.
        const auto written =
            Exiv2::ImageFactory::open(QFile::encodeName(result.outputPath).toStdString());
        written->readMetadata();
        QVERIFY(written->exifData().findKey(Exiv2::ExifKey("Exif.Casio2.FocusMode")) !=
                written->exifData().end());
    }

    void unreadableMetadataStillWrites()
    {
        // Qt reads PPM, Exiv2 does not.
        const QString source = m_dir.filePath(QStringLiteral("plain.ppm"));
        QVERIFY(uprightPhoto().save(source, "PPM"));
        const auto result = process(source, QStringLiteral("out"));
        QVERIFY(result.ok());
        QCOMPARE(QImage(result.outputPath).size(), QSize(Width, Height));
        QVERIFY2(
            result.note.startsWith(BatchEngine::NoMetadataNote.section(QLatin1Char('%'), 0, 0)),
            qPrintable(result.note));

        // Nothing was asked for: nothing is missing.
        QVERIFY(process(source, QStringLiteral("out"), QStringLiteral("jpeg"),
                        OutputOptions::NoMetadata)
                    .note.isEmpty());
    }

    // A Canon photo whose editor moved the maker note without rewriting its offsets: they count
    // from the maker note's start instead of the EXIF's.
    void misplacedMakerNoteLeftOut()
    {
        const QString source = m_dir.filePath(QStringLiteral("moved-maker-note.jpg"));
        writeCameraPhoto(source, 1);
        long makerNote = 0;
        {
            auto image = Exiv2::ImageFactory::open(QFile::encodeName(source).toStdString());
            image->readMetadata();
            makerNote = image->exifData()["Exif.MakerNote.Offset"].toLong();
        }
        QByteArray file = readFile(source);
        const qsizetype tiff = file.indexOf(QByteArray("Exif\0\0", 6)) + 6;
        QCOMPARE(file.mid(tiff, 2), QByteArray("II")); // Exiv2 writes little-endian
        const auto u16 = [&](qsizetype at) {
            return qFromLittleEndian<quint16>(file.constData() + at);
        };
        const qsizetype directory = tiff + makerNote;
        for (int i = 0; i < u16(directory); ++i) {
            char *const entry = file.data() + directory + 2 + 12 * i;
            const qint64 size =
                qint64(Exiv2::TypeInfo::typeSize(Exiv2::TypeId(u16(entry - file.data() + 2)))) *
                qFromLittleEndian<quint32>(entry + 4);
            if (size > 4)
                qToLittleEndian(qFromLittleEndian<quint32>(entry + 8) - quint32(makerNote),
                                entry + 8);
        }
        QVERIFY(writeFile(source, file));

        const auto result = process(source, QStringLiteral("moved"));
        QVERIFY(result.ok());
        QVERIFY2(
            result.note.startsWith(BatchEngine::NoMakerNoteNote.section(QLatin1Char('%'), 0, 0)),
            qPrintable(result.note));
        auto written =
            Exiv2::ImageFactory::open(QFile::encodeName(result.outputPath).toStdString());
        written->readMetadata();
        const Exiv2::ExifData &exif = written->exifData();
        QVERIFY(exif.findKey(Exiv2::ExifKey("Exif.Image.Make")) != exif.end());
        QVERIFY(std::none_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum &datum) {
            return datum.groupName() == "Canon";
        }));
    }

    void oversizedMetadataLeftOut_data()
    {
        QTest::addColumn<QString>("format");
        for (const char *format : {"png", "webp", "tiff", "avif"})
            QTest::newRow(format) << QString::fromLatin1(format);
    }

    // A small photo with more XMP than any camera or editor writes.
    void oversizedMetadataLeftOut()
    {
        QFETCH(QString, format);
        const QByteArray file = withXmp(format, MetadataCopier::MaxMetadataBytes + 1);
        QVERIFY(!file.isEmpty());
        const QString source = m_dir.filePath(QStringLiteral("huge-xmp.") + format);
        QVERIFY(writeFile(source, file));

        const auto result = process(source, QStringLiteral("huge"), QStringLiteral("jpeg"));
        QVERIFY(result.ok());
        QVERIFY2(result.note.contains(QLatin1String("more than photos carry")),
                 qPrintable(result.note));
    }

    // Exiv2 reads a QuickTime file as camera data, making up tags of its own and spinning for
    // seconds on a hostile one: a source in a video's container gives none, at once.
    void videoContainerGivesNoCameraData()
    {
        // Found by the metadata fuzzer: 14 s in Exiv2's QuickTime reader.
        const QString source = QStringLiteral(INKVEIL_TEST_DATA_DIR "/quicktime-spin.mov");
        const MetadataCopier copier(source, MetadataCopier::Mode::Keep);
        QByteArray jpeg = *ImageToolkit::encode(QImage(8, 8, QImage::Format_RGB32),
                                                QStringLiteral("jpeg"), 90, 72.0f);
        const Status carried = copier.writeInto(jpeg, QStringLiteral("jpeg"), QSize(8, 8), 72.0f);
        QCOMPARE(carried.reason(), QStringLiteral("it is held in a video's container"));
    }

    // Camera data that is read counts in the memory budget: compressed text with what it
    // inflates to, and a JPEG's colour profile, which spans many segments.
    void metadataCountsInMemory_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("suffix");
        constexpr qsizetype Megabyte = 1024 * 1024;
        QTest::newRow("XMP") << withXmp(QStringLiteral("png"), Megabyte) << "png";
        QTest::newRow("compressed text")
            << withPngChunk(saved(uprightPhoto(), "png"), "zTXt",
                            QByteArray("Comment\0\0", 9) +
                                qCompress(QByteArray(Megabyte, ' ')).mid(4))
            << "png";
        QByteArray jpeg = saved(uprightPhoto(), "jpeg");
        const QByteArray piece(64000, 'p');
        for (int i = 1; i <= 16; ++i) {
            QByteArray segment("\xFF\xE2..ICC_PROFILE\0", 16);
            segment += char(i) + QByteArray(1, char(16)) + piece;
            qToBigEndian(quint16(segment.size() - 2), segment.data() + 2);
            jpeg.insert(2, segment);
        }
        QTest::newRow("colour profile of a JPEG") << jpeg << "jpg";
    }

    void metadataCountsInMemory()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, suffix);
        const QString source = m_dir.filePath(QStringLiteral("big-metadata.") + suffix);
        QVERIFY(writeFile(source, file));
        OutputOptions options;
        const qint64 withMetadata = BatchEngine::memoryNeeded(source, options);
        options.setMetadata(OutputOptions::NoMetadata);
        QVERIFY(withMetadata - BatchEngine::memoryNeeded(source, options) >= 10 * 1024 * 1024);
    }

    // A colour profile larger than photos carry is left out, the photo converted to sRGB.
    void oversizedProfileWrittenInSrgb()
    {
        QImage image = uprightPhoto();
        image.setColorSpace(QColorSpace::fromIccProfile(grownProfile(MaxIccBytes)));
        QVERIFY(image.colorSpace().isValid());
        const QString source = m_dir.filePath(QStringLiteral("big-profile.png"));
        QVERIFY(writeFile(source, saved(image, "png")));

        const auto result = process(source, QStringLiteral("big-profile"));
        QVERIFY(result.ok());
        QCOMPARE(result.note, BatchEngine::NoProfileNote.arg(
                                  oversizedIccReason(image.colorSpace().iccProfile().size())));
        QImage written(result.outputPath);
        QVERIFY(!written.colorSpace().isValid() || written.colorSpace() == QColorSpace::SRgb);
    }

    void transparency_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("keepsAlpha");
        QTest::newRow("png") << QStringLiteral("png") << true;
        QTest::newRow("tiff") << QStringLiteral("tiff") << true;
        QTest::newRow("jpeg") << QStringLiteral("jpeg") << false;
        QTest::newRow("bmp") << QStringLiteral("bmp") << false;
    }

    void transparency()
    {
        QFETCH(QString, format);
        QFETCH(bool, keepsAlpha);
        // A transparent photo with an opaque green left edge, and an opaque blue picture as
        // the watermark.
        QImage photo(80, 60, QImage::Format_ARGB32);
        photo.fill(Qt::transparent);
        QPainter(&photo).fillRect(0, 0, 10, 60, Qt::green);
        const QString source = m_dir.filePath(QStringLiteral("alpha-%1.png").arg(format));
        QVERIFY(photo.save(source));
        QImage mark(20, 10, QImage::Format_RGB32);
        mark.fill(Qt::blue);
        const QString markPath = m_dir.filePath(QStringLiteral("mark.png"));
        QVERIFY(mark.save(markPath));
        auto overlay = std::make_shared<Overlay>();
        overlay->setFilePath(markPath);
        overlay->setWidth(20);
        overlay->setHeight(10);
        overlay->setPosition(4);

        const auto result = process(source, QStringLiteral("alpha"), format,
                                    OutputOptions::KeepMetadata, {overlay});
        QVERIFY(result.ok());
        const QImage written(result.outputPath);
        QCOMPARE(written.hasAlphaChannel(), keepsAlpha);
        const int tolerance = format == QLatin1String("jpeg") ? 12 : 0;
        QVERIFY(near(written.pixel(40, 30), qRgb(0, 0, 255), tolerance));
        QVERIFY(near(written.pixel(5, 5), qRgb(0, 255, 0), tolerance));
        if (keepsAlpha)
            QCOMPARE(qAlpha(written.pixel(70, 5)), 0);
        else
            QVERIFY(near(written.pixel(70, 5), qRgb(255, 255, 255), tolerance));
    }

    void sixteenBitsKept_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QImage::Format>("pixels");
        QTest::newRow("png to tiff")
            << QStringLiteral("png") << QStringLiteral("tiff") << QImage::Format_RGBX64;
        QTest::newRow("png to png, alpha")
            << QStringLiteral("png") << QStringLiteral("png") << QImage::Format_RGBA64;
        QTest::newRow("tiff to tiff, alpha")
            << QStringLiteral("tif") << QStringLiteral("tif") << QImage::Format_RGBA64;
        QTest::newRow("tiff to png")
            << QStringLiteral("tif") << QStringLiteral("png") << QImage::Format_RGBX64;
        QTest::newRow("grey png to tiff")
            << QStringLiteral("png") << QStringLiteral("tiff") << QImage::Format_Grayscale16;
    }

    void sixteenBitsKept()
    {
        QFETCH(QString, source);
        QFETCH(QString, format);
        QFETCH(QImage::Format, pixels);
        const bool grey = pixels == QImage::Format_Grayscale16;
        // Levels 8 bits can't hold: each differs from its neighbour by one 16-bit step.
        const auto level = [grey](int x) {
            return grey ? QRgba64::fromRgba64(quint16(30000 + x), quint16(30000 + x),
                                              quint16(30000 + x), 65535)
                        : QRgba64::fromRgba64(quint16(30000 + x), quint16(20000 - x), 1000, 65535);
        };
        QImage photo(64, 8, pixels);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x) {
                if (grey) // setPixelColor() would round grey to 8 bits
                    reinterpret_cast<quint16 *>(photo.scanLine(y))[x] = level(x).red();
                else
                    photo.setPixelColor(x, y, QColor::fromRgba64(level(x)));
            }
        const QString path = m_dir.filePath(
            QStringLiteral("deep-%1-%2.%3").arg(format).arg(int(pixels)).arg(source));
        QVERIFY(photo.save(path));

        const auto result = process(path, QStringLiteral("deep"), format);
        QVERIFY(result.ok());
        const QImage written(result.outputPath);
        QCOMPARE(written.format(), pixels);
        const QRgba64 value = written.pixelColor(33, 4).rgba64();
        if (!grey) {
            QCOMPARE(value, level(33));
            return;
        }
        // Grey goes through colour pixels for drawing, which moves it by a fraction of an 8-bit
        // level; neighbours one 16-bit step apart stay apart.
        const auto *const row = reinterpret_cast<const quint16 *>(written.constScanLine(4));
        QVERIFY2(std::abs(int(row[33]) - int(level(33).red())) < 64,
                 qPrintable(QString::number(row[33])));
        QVERIFY(row[34] > row[33]);
    }

    void greyscaleStaysGrey_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("grey"); // else colour in sRGB, converted from the grey profile
        QTest::addColumn<int>("tolerance");
        QTest::newRow("jpeg") << QStringLiteral("jpeg") << true << 2;
        QTest::newRow("tiff") << QStringLiteral("tiff") << true << 0;
        QTest::newRow("png") << QStringLiteral("png") << true << 0;
        QTest::newRow("bmp") << QStringLiteral("bmp") << false << 1;
        QTest::newRow("gif") << QStringLiteral("gif") << false << 1;
        QTest::newRow("webp") << QStringLiteral("webp") << false << 4;
        QTest::newRow("avif") << QStringLiteral("avif") << false << 4;
    }

    void greyscaleStaysGrey()
    {
        QFETCH(QString, format);
        QFETCH(bool, grey);
        QFETCH(int, tolerance);
        QImage photo(64, 8, QImage::Format_Grayscale8);
        for (int x = 0; x < photo.width(); ++x)
            for (int y = 0; y < photo.height(); ++y)
                photo.setPixel(x, y, qRgb(x * 4, x * 4, x * 4));
        photo.setColorSpace(QColorSpace::fromIccProfile(greyProfile()));
        const QString source = m_dir.filePath(QStringLiteral("grey-%1.png").arg(format));
        QVERIFY(photo.save(source));
        // An orange mark in the middle: drawn in colour, whatever the photo's profile.
        QImage mark(20, 4, QImage::Format_RGB32);
        mark.fill(qRgb(200, 100, 50));
        const QString markPath = m_dir.filePath(QStringLiteral("grey-mark.png"));
        QVERIFY(mark.save(markPath));
        auto overlay = std::make_shared<Overlay>();
        overlay->setFilePath(markPath);
        overlay->setWidth(20);
        overlay->setHeight(4);
        overlay->setPosition(4);
        overlay->setShow(false);

        const auto result =
            process(source, QStringLiteral("grey"), format, OutputOptions::KeepMetadata, {overlay});
        QVERIFY(result.ok());
        QImage written = ImageToolkit::decode(result.outputPath)->image();
        QCOMPARE(written.format() == QImage::Format_Grayscale8, grey);
        if (grey) {
            QCOMPARE(written.colorSpace().iccProfile(), greyProfile());
            QVERIFY(near(written.pixel(5, 4), qRgb(20, 20, 20), tolerance));
            return;
        }
        // Level 20 under gamma 2.2 is level 12 in sRGB.
        QVERIFY(!written.colorSpace().isValid() || written.colorSpace() == QColorSpace::SRgb);
        QVERIFY2(near(written.pixel(5, 4), qRgb(12, 12, 12), tolerance),
                 qPrintable(QString::number(written.pixel(5, 4), 16)));
        QVERIFY2(near(written.pixel(32, 4), qRgb(200, 100, 50), tolerance + 2),
                 qPrintable(QString::number(written.pixel(32, 4), 16)));
    }

    void watermarkColoursAreSrgb()
    {
        // A grey photo in Display P3 under an orange picture on a blue band (colours inside both
        // gamuts): converted back to sRGB, the written file shows them as the sRGB values they
        // are.
        QImage photo(80, 60, QImage::Format_RGB32);
        photo.fill(qRgb(128, 128, 128));
        photo.setColorSpace(QColorSpace::DisplayP3);
        const QString source = m_dir.filePath(QStringLiteral("p3.png"));
        QVERIFY(photo.save(source));
        QImage mark(20, 10, QImage::Format_RGB32);
        mark.fill(qRgb(200, 100, 50));
        const QString markPath = m_dir.filePath(QStringLiteral("red.png"));
        QVERIFY(mark.save(markPath));
        auto overlay = std::make_shared<Overlay>();
        overlay->setFilePath(markPath);
        overlay->setWidth(20);
        overlay->setHeight(10);
        overlay->setPosition(4);
        overlay->setShow(true);
        overlay->setExtend(true);
        overlay->setBgColor(QColor(50, 80, 200));

        const auto result = process(source, QStringLiteral("p3"), QStringLiteral("png"),
                                    OutputOptions::KeepMetadata, {overlay});
        QVERIFY(result.ok());
        QImage written(result.outputPath);
        QCOMPARE(written.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
        QVERIFY(near(written.pixel(2, 2), qRgb(128, 128, 128), 0)); // the photo as it was
        written.convertToColorSpace(QColorSpace::SRgb);
        QVERIFY(near(written.pixel(40, 30), qRgb(200, 100, 50), 2));
        QVERIFY(near(written.pixel(5, 30), qRgb(50, 80, 200), 2));
    }

    void summarySaysWhenTheFormatHoldsNone_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        const QString none = QStringLiteral(" (no camera data: the format can't hold it)");
        QTest::newRow("gif") << QStringLiteral("gif") << 0 << QStringLiteral("gif") + none;
        QTest::newRow("bmp private") << QStringLiteral("bmp") << 1 << QStringLiteral("bmp") + none;
        QTest::newRow("bmp, none asked") << QStringLiteral("bmp") << 2 << QStringLiteral("bmp");
        QTest::newRow("png") << QStringLiteral("png") << 0 << QStringLiteral("png");
    }

    void summarySaysWhenTheFormatHoldsNone()
    {
        QFETCH(QString, format);
        QFETCH(int, mode);
        QFETCH(QString, text);
        OutputOptions options;
        options.setFileFormat(format);
        options.setMetadata(OutputOptions::Metadata(mode));
        QCOMPARE(SummaryText({}, options).fileformat(), text);
    }

private:
    // One photo through the engine into a folder of the test folder.
    BatchEngine::FileResult
    process(const QString &source, const QString &folder,
            const QString &format = QStringLiteral("jpeg"),
            const OutputOptions::Metadata metadata = OutputOptions::KeepMetadata,
            const OverlayList &overlays = {})
    {
        OutputOptions options;
        options.setFolder(m_dir.filePath(folder));
        options.setFileFormat(format);
        options.setMetadata(metadata);
        BatchEngine engine;
        return engine.processSingleFile(std::make_shared<WorkFile>(source), overlays, options);
    }

    // The PNG file with a chunk added before its end.
    static QByteArray withPngChunk(QByteArray file, const QByteArray &type, const QByteArray &data)
    {
        const QByteArray chunk = type + data;
        QByteArray frame(8, '\0');
        qToBigEndian(quint32(data.size()), frame.data());
        qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(chunk.constData()),
                                   uInt(chunk.size()))),
                     frame.data() + 4);
        file.insert(file.size() - 12, frame.left(4) + chunk + frame.mid(4)); // before IEND
        return file;
    }

    // The image as a file of `format`, written by Qt.
    static QByteArray saved(const QImage &image, const char *format)
    {
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return file;
    }

    // An RGB colour profile of Qt's, grown past `size` bytes by a private tag.
    static QByteArray grownProfile(const qsizetype size)
    {
        const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
        const quint32 count = qFromBigEndian<quint32>(profile.constData() + 128);
        QByteArray tags = profile.mid(132, 12 * count);
        for (quint32 i = 0; i < count; ++i)
            qToBigEndian(qFromBigEndian<quint32>(tags.constData() + 12 * i + 4) + 12,
                         tags.data() + 12 * i + 4);
        QByteArray grown = profile.left(128) + QByteArray(4, '\0') + tags + QByteArray(12, '\0') +
                           profile.mid(132 + 12 * count);
        grown += QByteArray((4 - grown.size() % 4) % 4, '\0');
        qToBigEndian(count + 1, grown.data() + 128);
        char *added = grown.data() + 132 + 12 * count;
        std::memcpy(added, "zzzz", 4);
        qToBigEndian(quint32(grown.size()), added + 4);
        qToBigEndian(quint32(size), added + 8);
        grown += QByteArray("zzzz", 4) + QByteArray(size - 4, '\0');
        qToBigEndian(quint32(grown.size()), grown.data());
        return grown;
    }

    // The upright photo as a file of `format` with an XMP block of `size` bytes.
    static QByteArray withXmp(const QString &format, const qsizetype size)
    {
        const QByteArray xmp(size, ' ');
        if (format == QLatin1String("avif")) {
            const Result<QByteArray> avif = AvifEncoder::encode(uprightPhoto(), 90, {{}, xmp});
            return avif ? *avif : QByteArray();
        }
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        uprightPhoto().save(&buffer, qPrintable(format));
        const auto little = [](auto v) {
            QByteArray bytes(qsizetype(sizeof v), '\0');
            qToLittleEndian(v, bytes.data());
            return bytes;
        };
        const auto u16 = [&](quint16 v) { return little(v); };
        const auto u32 = [&](quint32 v) { return little(v); };
        if (format == QLatin1String("webp")) {
            file += "XMP " + u32(quint32(xmp.size())) + xmp + QByteArray(xmp.size() % 2, '\0');
            qToLittleEndian(quint32(file.size() - 8), file.data() + 4);
        } else if (format == QLatin1String("png")) {
            file = withPngChunk(file, "iTXt", QByteArray("XML:com.adobe.xmp\0\0\0\0\0", 22) + xmp);
        } else { // a little-endian TIFF: its first directory again, at the end, with an XMLPacket
            const quint32 directory = qFromLittleEndian<quint32>(file.constData() + 4);
            const quint16 count = qFromLittleEndian<quint16>(file.constData() + directory);
            QByteArray entries = file.mid(directory + 2, 12 * count);
            qsizetype at = 0;
            while (at < entries.size() &&
                   qFromLittleEndian<quint16>(entries.constData() + at) < 700)
                at += 12;
            const auto moved = quint32(file.size());
            entries.insert(at, u16(700) + u16(1) + u32(quint32(xmp.size())) +
                                   u32(moved + 2 + 12 * (count + 1u) + 4));
            file += u16(quint16(count + 1)) + entries + u32(0) + xmp;
            qToLittleEndian(moved, file.data() + 4);
        }
        return file;
    }

    // An AVIF photo with EXIF and XMP as a phone writes them; its EXIF resolution has no unit,
    // which records none.
    QString heifSource()
    {
        const QString path = m_dir.filePath(QStringLiteral("heif-source.avif"));
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Apple";
        exif["Exif.Image.Artist"] = "Ana Lopez";
        exif["Exif.Image.XResolution"] = Exiv2::URational(1, 1);
        exif["Exif.Image.YResolution"] = Exiv2::URational(1, 1);
        exif["Exif.Image.ResolutionUnit"] = static_cast<uint16_t>(1);
        exif["Exif.Photo.DateTimeOriginal"] = "2024:06:01 12:00:00";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"] = "48/1 6/1 0/1";
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.creator"] = "Ana Lopez";
        xmp["Xmp.exif.GPSLatitude"] = "48,6.0N";
        std::string packet;
        Exiv2::XmpParser::encode(packet, xmp);
        const CameraData camera{QByteArray(reinterpret_cast<const char *>(blob.data()),
                                           static_cast<qsizetype>(blob.size())),
                                QByteArray::fromStdString(packet)};
        const Result<QByteArray> avif = AvifEncoder::encode(uprightPhoto(), 90, camera);
        return avif && writeFile(path, *avif) ? path : QString();
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestFidelity)
#include "tst_fidelity.moc"
