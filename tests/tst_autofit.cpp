// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyntheticScenes.h"
#include "TestSupport.h"
#include "batch/RunReport.h"
#include "render/AutoContrast.h"
#include "render/Stamper.h"
#include "watermarks/Overlay.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace inkveil;

namespace {

std::shared_ptr<Overlay> autoMark(bool place, bool contrast)
{
    auto mark = Overlay::newWatermark();
    mark->setText(QStringLiteral("\u00A9 2026 Tessaly"));
    mark->setShow(false);
    mark->setAutoPlace(place);
    mark->setAutoContrast(contrast);
    return mark;
}

Stamper::Stamped stamp(const QImage &photo, const OverlayList &overlays)
{
    Stamper stamper;
    return stamper.watermark(std::make_shared<WorkFile>(), DecodedImage(photo, 72.0f), overlays);
}

qint16 chosenPosition(const QImage &photo)
{
    const Stamper::Stamped stamped = stamp(photo, {autoMark(true, false)});
    return stamped.choices.isEmpty() ? qint16(-1) : stamped.choices.first().position;
}

QImage recompressed(const QImage &photo, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPEG", quality);
    return QImage::fromData(bytes, "JPEG");
}

} // namespace

class TestAutoFit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The calm region wins, and keeps winning on a frame of the same burst, on a copy at half
    // the size and on one recompressed at quality 75.
    void calmRegionChosen_data()
    {
        QTest::addColumn<int>("kind");
        for (const scenes::Kind kind : scenes::allKinds())
            QTest::newRow(scenes::scene(kind, {64, 48}).name) << static_cast<int>(kind);
    }
    void calmRegionChosen()
    {
        QFETCH(int, kind);
        const scenes::Scene scene = scenes::scene(static_cast<scenes::Kind>(kind), {1800, 1200});
        const qint16 position = chosenPosition(scene.image);
        QVERIFY2(scene.calm.contains(position), qPrintable(QString::number(position)));
        QCOMPARE(chosenPosition(scene.image), position);
        // The next frame of a burst: the same scene, its texture drawn afresh.
        const auto frame = scenes::scene(static_cast<scenes::Kind>(kind), {1800, 1200}, 2);
        QCOMPARE(chosenPosition(frame.image), position);
        QCOMPARE(chosenPosition(
                     scene.image.scaled(900, 600, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
                 position);
        QCOMPARE(chosenPosition(recompressed(scene.image, 75)), position);
    }

    // On a flat photo every corner ties: the first allowed wins, and a second automatic
    // watermark takes the next one instead of lying on it.
    void tiesAndOverlaps()
    {
        QImage flat(1200, 800, QImage::Format_RGB32);
        flat.fill(QColor(128, 140, 150));
        auto first = autoMark(true, false);
        first->setAutoPositions({6, 2, 0});
        auto second = autoMark(true, false);
        second->setAutoPositions({6, 8});
        const auto stamped = stamp(flat, {first, second});
        QCOMPARE(stamped.choices.size(), 2);
        QCOMPARE(stamped.choices.at(0).position, qint16(6));
        QCOMPARE(stamped.choices.at(1).position, qint16(8));
        QCOMPARE(stamped.watermarksShown, 2);
    }

    void contrast_data()
    {
        QTest::addColumn<float>("median");
        QTest::addColumn<float>("dark");
        QTest::addColumn<float>("bright");
        QTest::addColumn<bool>("effects");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<int>("effect");
        const QColor white = QColor::fromRgbF(1, 1, 1);
        const QColor nearBlack = QColor::fromRgbF(0.1f, 0.1f, 0.1f);
        const auto none = static_cast<int>(AutoContrast::Effect::None);
        QTest::newRow("dark ground") << 0.02f << 0.01f << 0.05f << true << white << none;
        QTest::newRow("white wall") << 0.9f << 0.85f << 1.0f << true << nearBlack << none;
        QTest::newRow("mid grey") << 0.21f << 0.2f << 0.22f << true << white
                                  << static_cast<int>(AutoContrast::Effect::Shadow);
        QTest::newRow("black and white") << 0.3f << 0.0f << 1.0f << true << white
                                         << static_cast<int>(AutoContrast::Effect::Outline);
        // Without effects, the colour that comes closest.
        QTest::newRow("mid grey, no effects")
            << 0.21f << 0.2f << 0.22f << false << nearBlack << none;
    }
    void contrast()
    {
        QFETCH(float, median);
        QFETCH(float, dark);
        QFETCH(float, bright);
        QFETCH(bool, effects);
        QFETCH(QColor, text);
        QFETCH(int, effect);
        AutoContrast::Style style{QColor::fromRgbF(1, 1, 1),
                                  QColor::fromRgbF(0.1f, 0.1f, 0.1f),
                                  0.8f,
                                  QColor(),
                                  effects,
                                  0.6f,
                                  effects};
        const auto choice = AutoContrast::choose({median, dark, bright}, style);
        QCOMPARE(choice.text.rgb(), text.rgb());
        QCOMPARE(static_cast<int>(choice.effect), effect);
        QCOMPARE(choice.ratio >= AutoContrast::Target, effects);
    }

    // Through the stamper: on a white photo the text turns dark, and the run's report says
    // where each watermark went and in which colour.
    void contrastOnPhotoAndReport()
    {
        QImage white(900, 600, QImage::Format_RGB32);
        white.fill(Qt::white);
        auto fixed = Overlay::newWatermark();
        fixed->setShow(false);
        const auto stamped = stamp(white, {autoMark(false, true), fixed});
        QCOMPARE(stamped.choices.size(), 2);
        QCOMPARE(stamped.choices.at(0).textColor.name(), QStringLiteral("#1a1a1a"));
        QVERIFY(stamped.choices.at(0).contrast >= AutoContrast::Target);
        QCOMPARE(stamped.choices.at(1).textColor.name(), QStringLiteral("#ffffff"));

        BatchEngine::FileResult result;
        result.choices = stamped.choices;
        const QJsonObject line =
            QJsonDocument::fromJson(RunReport::line(QStringLiteral("a.jpg"), {}, result)).object();
        const QJsonObject first =
            line.value(QStringLiteral("watermarks")).toArray().at(0).toObject();
        QCOMPARE(first.value(QStringLiteral("position")).toInt(), 1);
        QCOMPARE(first.value(QStringLiteral("textColor")).toString(), QStringLiteral("#1a1a1a"));
        QVERIFY(!QJsonDocument::fromJson(RunReport::line({}, {}, BatchEngine::FileResult()))
                     .object()
                     .contains(QStringLiteral("watermarks")));
    }

    // An image watermark with a second picture shows whichever stands out on each photo, the
    // first on a tie or when the second can't be read; without one it draws as before.
    void pictureVariant_data()
    {
        QTest::addColumn<QColor>("photoColor");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("variant");
        QTest::newRow("white photo") << QColor(Qt::white) << "dark.png"
                                     << "second";
        QTest::newRow("black photo") << QColor(Qt::black) << "dark.png"
                                     << "first";
        QTest::newRow("same pictures") << QColor(Qt::white) << "light.png"
                                       << "first";
        QTest::newRow("second unreadable") << QColor(Qt::white) << "gone.png"
                                           << "first";
        QTest::newRow("no second") << QColor(Qt::white) << QString() << QString();
    }
    void pictureVariant()
    {
        QFETCH(QColor, photoColor);
        QFETCH(QString, second);
        QFETCH(QString, variant);
        QTemporaryDir dir;
        for (const auto &[name, color] :
             {std::pair{"light.png", Qt::white}, {"dark.png", Qt::black}}) {
            QImage picture(40, 20, QImage::Format_ARGB32);
            picture.fill(color);
            QVERIFY(picture.save(dir.filePath(QLatin1String(name))));
        }
        auto mark = Overlay::newWatermark();
        mark->setShow(false);
        mark->setFilePath(dir.filePath(QStringLiteral("light.png")));
        mark->setWidth(40);
        mark->setHeight(20);
        QImage photo(600, 400, QImage::Format_RGB32);
        photo.fill(photoColor);
        const auto plain = std::make_shared<Overlay>(*mark);
        mark->setAutoContrast(true);
        if (!second.isNull())
            mark->setAltImagePath(dir.filePath(second));
        const auto stamped = stamp(photo, {mark});

        if (variant.isNull()) {
            QVERIFY(stamped.choices.isEmpty());
        } else {
            QCOMPARE(stamped.choices.size(), 1);
            BatchEngine::FileResult result;
            result.choices = stamped.choices;
            const QJsonObject line =
                QJsonDocument::fromJson(RunReport::line(QStringLiteral("a.jpg"), {}, result))
                    .object();
            QCOMPARE(line.value(QStringLiteral("watermarks"))
                         .toArray()
                         .at(0)
                         .toObject()
                         .value(QStringLiteral("variant"))
                         .toString(),
                     variant);
        }
        if (variant == QLatin1String("second"))
            plain->setFilePath(dir.filePath(second));
        QCOMPARE(stamped.image, stamp(photo, {plain}).image);
    }

    // A record stored before fitting existed reads with it off and draws exactly as before;
    // the new keys come back as written.
    void storedRecords()
    {
        auto mark = Overlay::newWatermark();
        ArchivedRecord old = mark->encode();
        old.values.removeIf([](const auto &value) {
            return value.first.startsWith(QLatin1String("auto")) ||
                   value.first == QLatin1String("altColor");
        });
        const auto decoded = Overlay::decode(old);
        QVERIFY(!decoded->autoPlace() && !decoded->autoContrast());
        QImage photo = scenes::scene(scenes::Kind::SkyOverGround, {600, 400}).image;
        const auto before = stamp(photo, {mark});
        const auto after = stamp(photo, {decoded});
        QCOMPARE(after.image, before.image);
        QVERIFY(after.choices.isEmpty());

        mark->setAutoPlace(true);
        mark->setAutoPositions({8, 1, 8, 12});
        mark->setAutoContrast(true);
        mark->setAltColor(QColor(Qt::darkBlue));
        mark->setAutoOutline(false);
        mark->setAltImagePath(QStringLiteral("dark.png"));
        const auto back = Overlay::decode(mark->encode());
        QVERIFY(back->autoPlace() && back->autoContrast() && back->autoShadow());
        QVERIFY(!back->autoOutline());
        QCOMPARE(back->autoPositions(), (QList<qint16>{8, 1}));
        QCOMPARE(back->altColor().rgb(), QColor(Qt::darkBlue).rgb());
        QCOMPARE(back->altImagePath(), QStringLiteral("dark.png"));
    }
};

QTEST_MAIN(TestAutoFit)
#include "tst_autofit.moc"
