// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "app/ApplicationPanes.h"
#include "base/Resources.h"
#include "panes/BatchPane.h"
#include "widgets/ElidedLabel.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace inkveil;

class TestBatchPane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit());
        Resources::setDirectory(INKVEIL_RESOURCES_DIR);
        ApplicationPanes::registerAll();
        QVERIFY(QDir().mkpath(m_dir.filePath("in")));
        for (int i = 1; i <= 5; ++i)
            writePhoto(m_dir.filePath(QStringLiteral("in/photo%1.jpg").arg(i)), {64, 48},
                       QColor(40 * i, 90, 160));
    }

    void init()
    {
        // Options edited by a test are saved by the output pane; each test starts from the
        // defaults.
        QDir(m_dir.filePath("data")).removeRecursively();
        m_controller = startWizard();
        QVERIFY(m_controller);
        m_out = m_dir.filePath(QStringLiteral("out-") +
                               QString::fromLatin1(QTest::currentTestFunction()));
        m_controller->outputOptions()->setFolder(m_out);
        m_pane = qobject_cast<BatchPane *>(m_controller->panes().last());
        QVERIFY(m_pane);
        m_pane->setWorkers(1);
    }

    void cleanup() { m_controller.reset(); }

    void runWritesEveryFileAndSingleFileOnlyTheFirst()
    {
        m_controller->outputOptions()->setUseCounter(true);
        m_controller->outputOptions()->setLastValue(5);
        useFiles(3);
        QCOMPARE(label("total"), QStringLiteral("3 files"));
        QCOMPARE(label("output"), QStringLiteral("photo100005.jpeg"));
        QVERIFY(!m_controller->nextButton()->isEnabled());
        QStringList progress;
        connect(&m_pane->engine(), &BatchEngine::progressChanged, this,
                [&](const QString &text) { progress.append(text); });
        QSignalSpy sound(m_pane, &BatchPane::soundPlayed);
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        // Running: the button stops, the other button and Previous wait.
        QVERIFY(m_pane->processing());
        QCOMPARE(button("all_start")->text(), QStringLiteral("&Stop"));
        QVERIFY(!button("single_start")->isEnabled());
        QVERIFY(!m_controller->previousButton()->isEnabled());
        QVERIFY(!m_controller->nextButton()->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(!m_pane->processing(), 30000);
        QCOMPARE(progress, (QStringList{"photo1.jpg (1 of 3)", "photo2.jpg (2 of 3)",
                                        "photo3.jpg (3 of 3)", "Idle"}));
        QCOMPARE(label("progress_text"), QStringLiteral("Idle"));
        // The step and the time left go with the run; the closing line says how long it took.
        QCOMPARE(label("status"), QString());
        QCOMPARE(label("rate"), QString());
        QVERIFY2(label("outcome").contains(
                     QRegularExpression(QStringLiteral("^3 written, 0 failed, 0 skipped in "
                                                       "[0-9.]+ s, [0-9.]+ photos/s$"))),
                 qPrintable(label("outcome")));
        QCOMPARE(progressBar()->maximum(), 3);
        QCOMPARE(progressBar()->value(), 3);
        QVERIFY(!button("openFolder")->isHidden());
        QCOMPARE(button("all_start")->text(), QStringLiteral("&Start"));
        QVERIFY(button("single_start")->isEnabled());
        QVERIFY(m_controller->previousButton()->isEnabled());
        QCOMPARE(QDir(m_out).entryList(QDir::Files),
                 (QStringList{"photo100005.jpeg", "photo200006.jpeg", "photo300007.jpeg"}));
        QCOMPARE(m_controller->outputOptions()->lastValue(), 5);
        QCOMPARE(sound.count(), 1);
        QCOMPARE(sound.first().first().toString(), QStringLiteral("Glass"));

        // The single-file button processes the first file only, and finishes before returning.
        m_controller->outputOptions()->setFolder(m_out + QStringLiteral("-single"));
        QTest::mouseClick(button("single_start"), Qt::LeftButton);
        QCOMPARE(QDir(m_out + QStringLiteral("-single")).entryList(QDir::Files),
                 QStringList{"photo100005.jpeg"});
        QCOMPARE(sound.count(), 2);
        QCOMPARE(m_controller->outputOptions()->lastValue(), 5);
        QCOMPARE(closingLine(), QStringLiteral("1 written, 0 failed, 0 skipped."));
        QCOMPARE(progressBar()->value(), progressBar()->maximum());
    }

    void stopFinishesTheCurrentFileOnly()
    {
        useFiles(5);
        // Stop arrives while the second photo is being watermarked.
        connect(
            &m_pane->engine(), &BatchEngine::statusChanged, &m_pane->engine(),
            [this](int index, const QString &message) {
                if (index == 1 && message == BatchEngine::WatermarkingMessage)
                    m_pane->engine().stop();
            },
            Qt::DirectConnection);
        QSignalSpy sound(m_pane, &BatchPane::soundPlayed);
        QTest::ignoreMessage(QtInfoMsg, "Thread start");
        QTest::ignoreMessage(QtInfoMsg, "Thread cancelled");
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_pane->processing(), 30000);
        QCOMPARE(QDir(m_out).entryList(QDir::Files), (QStringList{"photo1.jpeg", "photo2.jpeg"}));
        QCOMPARE(closingLine(), QStringLiteral("Stopped after 2 of 5: 2 written."));
        QVERIFY(problems()->isHidden());
        QCOMPARE(sound.count(), 0);
        QCOMPARE(button("all_start")->text(), QStringLiteral("&Start"));
        QVERIFY(m_controller->previousButton()->isEnabled());

        // Pressing the button during a run asks it to stop; the run still ends on its own.
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_pane->processing(), 30000);
        QCOMPARE(button("all_start")->text(), QStringLiteral("&Start"));
    }

    void failedAndSkippedPhotosStayListed()
    {
        // One photo written, one that can't be read, one whose name is taken: after the run
        // the pane still says which and why.
        const QString broken = m_dir.filePath(QStringLiteral("in-broken/photo9.jpg"));
        QVERIFY(QDir().mkpath(QFileInfo(broken).path()));
        QVERIFY(writeFile(broken, "\xFF\xD8 cut short"));
        QVERIFY(QDir().mkpath(m_out));
        QVERIFY(writeFile(m_out + QStringLiteral("/photo2.jpeg"), "old"));
        m_controller->outputOptions()->setExisting(OutputOptions::SkipExisting);
        QVERIFY(problems()->isHidden());
        m_controller->setWorkFiles(
            workFiles({m_dir.filePath(QStringLiteral("in/photo1.jpg")), broken,
                       m_dir.filePath(QStringLiteral("in/photo2.jpg"))}));
        while (m_controller->currentPaneController() != m_pane)
            m_controller->next();
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_pane->processing(), 30000);

        QCOMPARE(closingLine(), QStringLiteral("1 written, 1 failed, 1 skipped."));
        QVERIFY(problems()->isVisible());
        QCOMPARE(problems()->count(), 2);
        QVERIFY2(problems()->item(0)->text().startsWith(QStringLiteral("photo9.jpg: ") +
                                                        BatchEngine::CantReadMessage),
                 qPrintable(problems()->item(0)->text()));
        QCOMPARE(problems()->item(0)->toolTip(), broken);
        QCOMPARE(problems()->item(1)->text(),
                 QStringLiteral("photo2.jpg: ") + OutputPlan::SkippedMessage);
        QCOMPARE(readFile(m_out + QStringLiteral("/photo2.jpeg")), QByteArray("old"));

        // The next run starts with a clean list.
        m_controller->outputOptions()->setExisting(OutputOptions::KeepBothExisting);
        m_controller->setWorkFiles(workFiles({m_dir.filePath(QStringLiteral("in/photo2.jpg"))}));
        m_pane->activate();
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_pane->processing(), 30000);
        QCOMPARE(closingLine(), QStringLiteral("1 written, 0 failed, 0 skipped."));
        QVERIFY(problems()->isHidden());
        QVERIFY(QFile::exists(m_out + QStringLiteral("/photo2-2.jpeg")));
    }

    // Closing the window during a run asks first. Kept running, nothing changes; stopped, the
    // photos in progress are finished whole before the window goes.
    void closingDuringARunAsks()
    {
        useFiles(5);
        int asked = 0;
        bool stop = false;
        m_pane->setStopQuestion([&](QWidget *) {
            ++asked;
            return stop;
        });
        QWidget *window = m_controller->mainWindow();
        QTest::mouseClick(button("all_start"), Qt::LeftButton);
        QVERIFY(!window->close());
        QCOMPARE(asked, 1);
        QVERIFY(m_pane->processing());
        stop = true;
        QVERIFY(window->close());
        QCOMPARE(asked, 2);
        QTRY_VERIFY(!m_pane->processing());
        // Whatever was written is whole, and nothing half-written is left beside it.
        const QStringList written = QDir(m_out).entryList(QDir::Files | QDir::Hidden);
        for (const QString &name : written)
            QVERIFY2(!QImage(m_out + QLatin1Char('/') + name).isNull(), qPrintable(name));
    }

    void namesThatLeaveTheFolderKeepStartOff()
    {
        m_controller->outputOptions()->setBaseIndex(OutputOptions::CustomName);
        m_controller->outputOptions()->setCustom(QStringLiteral("../../x"));
        useFiles(1);
        QVERIFY(!button("all_start")->isEnabled());
        QVERIFY(!button("single_start")->isEnabled());
        QCOMPARE(label("status"), QStringLiteral("The custom name can't hold \"/\"."));
        // Mended on the output pane, the batch can start again.
        m_controller->outputOptions()->setCustom(QStringLiteral("x"));
        m_pane->activate();
        QVERIFY(button("all_start")->isEnabled());
        QVERIFY(button("single_start")->isEnabled());
    }

    void runWithoutFolderIsRefused()
    {
        m_controller->outputOptions()->setFolder(QString());
        m_controller->outputOptions()->setUsePostfix(true);
        useFiles(1);
        QCOMPARE(label("total"), QStringLiteral("1 file"));
        QCOMPARE(label("output"), QStringLiteral("photo1_iv.jpeg"));
        // Start waits for a folder, and the status line says so.
        QVERIFY(!button("all_start")->isEnabled());
        QCOMPARE(label("status"), BatchEngine::NoFolderMessage);
        m_pane->all_start();
        QVERIFY(!m_pane->processing());
        QCOMPARE(label("status"), BatchEngine::NoFolderMessage);
        QVERIFY(m_controller->previousButton()->isEnabled());
        QTest::mouseClick(button("single_start"), Qt::LeftButton);
        QCOMPARE(label("status"), BatchEngine::NoFolderMessage);
    }

    // A folder that can't be made stops the run before its first photo; the status line says
    // why, and nothing is written.
    void runIntoUnwritableFolderIsRefused()
    {
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker, "not a folder"));
        m_controller->outputOptions()->setFolder(blocker + QStringLiteral("/out"));
        m_controller->outputOptions()->setFolderCreate(true);
        useFiles(1);
        m_pane->all_start();
        QVERIFY(!m_pane->processing());
        QCOMPARE(
            label("status"),
            QStringLiteral("Can't create the output folder %1/out. Not a directory.").arg(blocker));
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));
    }

    // Every line is one line: a long one is shortened in the middle, never wrapped or cut, and
    // does not widen the window.
    void longLinesAreElided()
    {
        useFiles(1);
        QWidget *window = m_controller->mainWindow();
        const int least = window->minimumSizeHint().width();
        const QString longText = BatchEngine::WritingMessage + QString(400, QLatin1Char('x'));
        m_pane->setOutputStatus(longText);
        auto *status = m_pane->ownView()->findChild<ElidedLabel *>(QStringLiteral("status"));
        QVERIFY(status);
        QTRY_VERIFY(status->shownText().contains(QChar(0x2026)));
        QCOMPARE(status->text(), longText);
        QVERIFY(status->shownText().startsWith(BatchEngine::WritingMessage.left(8)));
        const QFontMetrics metrics(status->font());
        QVERIFY(metrics.horizontalAdvance(status->shownText()) <= status->contentsRect().width());
        QVERIFY(status->height() >= metrics.height() &&
                status->height() < 2 * metrics.lineSpacing());
        QCOMPARE(window->minimumSizeHint().width(), least);
    }

private:
    QString label(const char *name) const
    {
        return m_pane->ownView()->findChild<QLabel *>(QLatin1String(name))->text();
    }
    // The closing line without the time and speed, which differ from run to run.
    QString closingLine() const
    {
        return label("outcome").replace(
            QRegularExpression(QStringLiteral(" in [0-9.]+ s, [0-9.]+ photos/s$")),
            QStringLiteral("."));
    }
    QProgressBar *progressBar() const
    {
        return m_pane->ownView()->findChild<QProgressBar *>(QStringLiteral("progress"));
    }
    QListWidget *problems() const
    {
        return m_pane->ownView()->findChild<QListWidget *>(QStringLiteral("problems"));
    }
    QPushButton *button(const char *name) const
    {
        return m_pane->ownView()->findChild<QPushButton *>(QLatin1String(name));
    }
    void useFiles(int count)
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i)
            paths.append(m_dir.filePath(QStringLiteral("in/photo%1.jpg").arg(i)));
        m_controller->setWorkFiles(workFiles(paths));
        // The batch pane is the last one; entering it takes the model in.
        while (m_controller->currentPaneController() != m_pane)
            m_controller->next();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<AppController> m_controller;
    BatchPane *m_pane = nullptr;
    QString m_out;
};

QTEST_MAIN(TestBatchPane)
#include "tst_batchpane.moc"
