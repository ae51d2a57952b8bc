// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// The invisible owner mark: found again after what a web site does to a photo, never found
// where it is not or with another key, and carried through a batch run to inkveil-batch --detect.

#include "TestSupport.h"
#include "cli/BatchCommand.h"
#include "mark/MarkDetector.h"
#include "mark/MarkEmbedder.h"
#include "mark/MarkKey.h"
#include "output/OutputOptions.h"
#include "panes/FindMarkWindow.h"
#include "panes/MarkKeyControls.h"
#include "session/StateFile.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTreeWidget>

#include <sys/stat.h>

using namespace inkveil;

namespace {

// A photo-like picture at 1500 x 1000: a smooth sky over ground of blotches and grain.
QImage scene()
{
    QRandomGenerator random(7);
    QImage blotches(16, 10, QImage::Format_RGB32);
    for (int y = 0; y < blotches.height(); ++y) {
        for (int x = 0; x < blotches.width(); ++x) {
            const int v = 60 + int(random.bounded(140));
            blotches.setPixel(x, y, qRgb(v, v + 20, v / 2));
        }
    }
    QImage image = blotches.scaled(1500, 1000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (y < 300) {
                line[x] = qRgb(120 + y / 10, 160 + y / 10, 230);
                continue;
            }
            const int grain = int(random.bounded(31)) - 15;
            line[x] = qRgb(std::clamp(qRed(line[x]) + grain, 0, 255),
                           std::clamp(qGreen(line[x]) + grain, 0, 255),
                           std::clamp(qBlue(line[x]) + grain, 0, 255));
        }
    }
    return image;
}

QImage jpegRoundTrip(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return QImage::fromData(bytes, "JPEG");
}

} // namespace

class TestMark : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
        m_marked = scene();
        QVERIFY(MarkEmbedder::embed(m_marked, m_key, {MarkPayload::MaxId, 0xABCDEF}));
    }

    void survives_data()
    {
        QTest::addColumn<QString>("attack");
        QTest::newRow("as written") << "none";
        QTest::newRow("JPEG q50, 50 %, 7 % cropped") << "web";
        QTest::newRow("turned a quarter and mirrored") << "turned";
        QTest::newRow("centre 60 %, JPEG q75") << "centre";
        QTest::newRow("tilted 2°, cropped, JPEG q85") << "tilted";
    }

    void survives()
    {
        QFETCH(QString, attack);
        QImage copy = m_marked;
        if (attack == QLatin1String("web")) {
            const QImage half =
                jpegRoundTrip(m_marked, 50)
                    .scaled(750, 500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            copy = half.copy(60, 20, 640, 440);
        } else if (attack == QLatin1String("centre")) {
            copy = jpegRoundTrip(m_marked.copy(300, 200, 900, 600), 75);
        } else if (attack == QLatin1String("tilted")) {
            const QImage tilted =
                m_marked.transformed(QTransform().rotate(-2), Qt::SmoothTransformation);
            copy = jpegRoundTrip(
                tilted.copy(QRect(QPoint(0, 0), m_marked.size() * 0.8)
                                .translated(tilted.width() / 10 + 15, tilted.height() / 10 + 15)),
                85);
        } else if (attack == QLatin1String("turned")) {
            copy = m_marked.transformed(QTransform().rotate(90)).mirrored(true, false);
        }
        const MarkFinding finding = MarkDetector(m_key).find(copy);
        QVERIFY(finding.found);
        QCOMPARE(finding.payload, (MarkPayload{MarkPayload::MaxId, 0xABCDEF}));
        QVERIFY(finding.confidence > 0.6);
    }

    void nothingFound_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("otherKey");
        QTest::newRow("unmarked photo") << "scene" << false;
        QTest::newRow("unmarked grey card") << "grey" << false;
        QTest::newRow("marked, another key") << "marked" << true;
    }

    // A wrong payload is never reported: an unmarked photo or another key finds nothing.
    void nothingFound()
    {
        QFETCH(QString, picture);
        QFETCH(bool, otherKey);
        QImage image = picture == QLatin1String("marked") ? m_marked : scene();
        if (picture == QLatin1String("grey"))
            image.fill(QColor(128, 128, 128));
        const MarkDetector detector(otherKey ? MarkKey::generate() : m_key);
        QVERIFY(!detector.find(image).found);
    }

    void withinBounds_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("mostChange");
        QTest::newRow("flat card") << "flat" << 2;
        QTest::newRow("noise everywhere") << "noise" << 7;
        QTest::newRow("flat patches in noise") << "patches" << 7;
        QTest::newRow("black card") << "black" << 0;
    }

    // The change stays within 2 levels on a flat card, where any more would show, also on flat
    // 8 x 8 patches amid texture; near black it vanishes (a level there is most of the
    // brightness); and within 42 dB PSNR on a picture that is texture everywhere, which must
    // still carry the mark.
    void withinBounds()
    {
        QFETCH(QString, picture);
        QFETCH(int, mostChange);
        const bool noisy = picture == QLatin1String("noise") || picture == QLatin1String("patches");
        // The grain at a photo's size, where the mark would go past the ceiling uncapped.
        QImage card(noisy ? QSize(1800, 1200) : QSize(800, 600), QImage::Format_RGB32);
        card.fill(picture == QLatin1String("black") ? QColor(0, 0, 0) : QColor(90, 140, 200));
        QRandomGenerator random(3);
        const auto patch = [&](int x, int y) {
            return picture == QLatin1String("patches") && x % 64 < 8 && y % 64 < 8;
        };
        for (int y = 0; noisy && y < card.height(); ++y) {
            for (int x = 0; x < card.width(); ++x) {
                const int v = patch(x, y) ? 128 : int(random.bounded(61)) + 98;
                card.setPixel(x, y, qRgb(v, v, v));
            }
        }
        QImage marked = card;
        QVERIFY(MarkEmbedder::embed(marked, m_key, {1, 1}));
        int most = 0, mostOnPatches = 0;
        double squares = 0;
        for (int y = 0; y < card.height(); ++y) {
            for (int x = 0; x < card.width(); ++x) {
                const int change = qRed(marked.pixel(x, y)) - qRed(card.pixel(x, y));
                most = std::max(most, std::abs(change));
                if (patch(x, y))
                    mostOnPatches = std::max(mostOnPatches, std::abs(change));
                squares += change * change;
            }
        }
        QVERIFY(most > 0 || mostChange == 0);
        QVERIFY(most <= mostChange);
        QVERIFY(mostOnPatches <= 2);
        QVERIFY(squares / (card.width() * card.height()) <= 4.1);
        QVERIFY(!noisy || MarkDetector(m_key).find(marked).found);
    }

    void markNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("id"); // -1: no mark number
        QTest::newRow("zero") << "0" << qint64(0);
        QTest::newRow("largest, 40 bits") << "1099511627775" << qint64(1099511627775);
        QTest::newRow("41 bits") << "1099511627776" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("sign") << "+5" << qint64(-1);
        QTest::newRow("space") << " 5" << qint64(-1);
    }

    void markNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, id);
        OutputOptions options;
        options.setMarkNumber(text);
        QCOMPARE(options.markId() ? qint64(*options.markId()) : qint64(-1), id);
    }

    // --mark-id marks every output with its counter value as serial, the report says which,
    // and --detect prints one line a photo; a run without it marks nothing.
    void batchAndDetect()
    {
        const QString in = m_dir.filePath(QStringLiteral("in"));
        QVERIFY(QDir().mkpath(in));
        for (const char *name : {"a.jpeg", "b.jpeg"})
            QVERIFY(scene().save(in + u'/' + QLatin1String(name), "JPEG", 92));
        const QString key = m_dir.filePath(QStringLiteral("owner.key"));
        const QString out = m_dir.filePath(QStringLiteral("out"));
        QCOMPARE(run({QStringLiteral("--output"), out, QStringLiteral("--mark-id"),
                      QStringLiteral("4242"), QStringLiteral("--mark-key"), key,
                      QStringLiteral("--report"), m_dir.filePath(QStringLiteral("run.jsonl")), in}),
                 0);
        QCOMPARE(QFile::permissions(key), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadUser | QFileDevice::WriteUser);
        QVERIFY(readFile(m_dir.filePath(QStringLiteral("run.jsonl"))).contains("\"serial\":2"));
        const QString plain = m_dir.filePath(QStringLiteral("plain"));
        QCOMPARE(run({QStringLiteral("--output"), plain, in}), 0);

        const QString pipe = m_dir.filePath(QStringLiteral("pipe.jpg"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QString printed;
        QCOMPARE(run({QStringLiteral("--detect"), QStringLiteral("--mark-key"), key,
                      out + QStringLiteral("/a.jpeg"), out + QStringLiteral("/b.jpeg"),
                      plain + QStringLiteral("/a.jpeg"), pipe},
                     &printed),
                 1);
        QCOMPARE(printed, out + QStringLiteral("/a.jpeg: mark 4242 serial 1\n") + out +
                              QStringLiteral("/b.jpeg: mark 4242 serial 2\n") + plain +
                              QStringLiteral("/a.jpeg: no mark\n") + pipe +
                              QStringLiteral(": can't be read: It is a named pipe, not a file.\n"));
        // Without a key there is nothing to look with: a usage error, not "no mark".
        QCOMPARE(run({QStringLiteral("--detect"), QStringLiteral("--mark-key"),
                      m_dir.filePath(QStringLiteral("none.key")), out + QStringLiteral("/a.jpeg")}),
                 int(BatchCommand::UsageError));
    }

    // A state file from before the mark (without its keys) writes exactly what one with the mark
    // off writes, and nothing marked.
    void stateWithoutMarkKeys()
    {
        const QString in = m_dir.filePath(QStringLiteral("legacy-in"));
        QVERIFY(QDir().mkpath(in));
        QVERIFY(scene().save(in + QStringLiteral("/a.jpeg"), "JPEG", 92));
        OutputOptions off;
        off.setMarkNumber(QStringLiteral("77"));
        QByteArray legacy = StateFile::encode({}, OutputOptions());
        static const QRegularExpression newKeys(QStringLiteral(
            "<key>(invisibleMark|markNumber)</key>\\s*<(false|string)/?>(</string>)?"));
        legacy = QString::fromUtf8(legacy).remove(newKeys).toUtf8();
        QVERIFY(!legacy.contains("invisibleMark") && !legacy.contains("markNumber"));
        const QString legacyState = m_dir.filePath(QStringLiteral("legacy.plist"));
        QVERIFY(writeFile(legacyState, legacy));
        const QString offState = m_dir.filePath(QStringLiteral("off.plist"));
        QVERIFY(writeFile(offState, StateFile::encode({}, off)));
        for (const QString &state : {legacyState, offState})
            QCOMPARE(run({QStringLiteral("--state"), state, QStringLiteral("--output"),
                          state + QStringLiteral("-out"), in}),
                     0);
        const QByteArray written = readFile(legacyState + QStringLiteral("-out/a.jpeg"));
        QVERIFY(!written.isEmpty());
        QCOMPARE(written, readFile(offState + QStringLiteral("-out/a.jpeg")));
        QVERIFY(!MarkDetector(m_key).find(QImage::fromData(written)).found);
    }

    // The output pane's key controls: an exported key is the key, an imported one replaces it
    // (the fingerprint shows which), and "Find Mark…" opens a window that looks, with it, at
    // the photos dropped on it, off the interface thread, and survives being closed mid-way.
    void keyControls()
    {
        QLabel fingerprint;
        QPushButton exportKey, importKey, findMark;
        MarkKeyControls controls(&fingerprint, &exportKey, &importKey, &findMark, nullptr);
        const QString keyPath = m_dir.filePath(QStringLiteral("pane/mark.key"));
        controls.setKeyPath(keyPath);
        findMark.click();
        QPointer<FindMarkWindow> window = fingerprint.findChild<FindMarkWindow *>();
        QVERIFY(window);
        QVERIFY(window->findChild<QLabel *>(QStringLiteral("instructions"))
                    ->text()
                    .startsWith(QStringLiteral("There is no mark key to look with: ")));

        const QString exported = m_dir.filePath(QStringLiteral("exported.key"));
        QVERIFY(!controls.exportPanelDidEnd(QDialog::Accepted, {exported}).isEmpty());
        QCOMPARE(readFile(exported), readFile(keyPath));
        QVERIFY(controls.exportPanelDidEnd(QDialog::Rejected, {exported}).isEmpty());

        const QString other = m_dir.filePath(QStringLiteral("other.key"));
        QVERIFY(m_key.save(other).ok());
        QVERIFY(!controls.importPanelDidEnd(QDialog::Accepted, {other}).isEmpty());
        QCOMPARE(fingerprint.text(), QStringLiteral("Key ") + m_key.fingerprint());
        QVERIFY(window->findChild<QLabel *>(QStringLiteral("instructions"))
                    ->text()
                    .contains(m_key.fingerprint()));

        const QString folder = m_dir.filePath(QStringLiteral("dropped"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/inner")));
        QVERIFY(m_marked.save(folder + QStringLiteral("/marked.png")));
        QVERIFY(scene().save(folder + QStringLiteral("/inner/plain.png")));
        QVERIFY(writeFile(folder + QStringLiteral("/notes.txt"), "not a photo"));
        QMimeData data;
        data.setUrls(fileUrls({folder, folder + QStringLiteral("/inner/plain.png"),
                               folder + QStringLiteral("/notes.txt")}) +
                     QList<QUrl>{QUrl(QStringLiteral("https://example.com/photo.jpg"))});
        QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &drop);

        // The folder stands for its one photo, not for its sub-folder nor its text file; the
        // rows are there at once and filled in from the event loop, never during the drop.
        const auto rows = [&] {
            QStringList found;
            const auto *results = window->findChild<QTreeWidget *>();
            for (int row = 0; row < results->topLevelItemCount(); ++row)
                found.append(results->topLevelItem(row)->text(1) + QLatin1Char('|') +
                             results->topLevelItem(row)->text(2));
            return found;
        };
        QCOMPARE(rows(), QStringList(3, QStringLiteral("Looking…|")));
        QTRY_VERIFY(!rows().contains(QStringLiteral("Looking…|")));
        QCOMPARE(rows().size(), 3);
        QVERIFY(QRegularExpression(QStringLiteral("^mark 1099511627775 serial 11259375\\|\\d+ %$"))
                    .match(rows().at(0))
                    .hasMatch());
        QCOMPARE(rows().at(1), QStringLiteral("no mark|"));
        QVERIFY(rows().at(2).startsWith(QStringLiteral("can't be read: ")));
        window->findChild<QPushButton *>(QStringLiteral("copy"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("marked.png: mark 1099511627775 serial 11259375\nplain.png: no "
                                "mark\nnotes.txt: ") +
                     rows().at(2).chopped(1));

        QApplication::sendEvent(window, &drop);
        window->close();
        QTRY_VERIFY(!window);
    }

private:
    static int run(QStringList arguments, QString *printed = nullptr)
    {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        arguments.prepend(QStringLiteral("inkveil-batch"));
        const int code = BatchCommand::run(arguments, out, err, false);
        out.flush();
        if (printed)
            *printed = outText;
        return code;
    }

    QTemporaryDir m_dir;
    const MarkKey m_key = MarkKey::generate();
    QImage m_marked;
};

QTEST_MAIN(TestMark)
#include "tst_mark.moc"
