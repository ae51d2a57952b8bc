// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "app/ApplicationPanes.h"
#include "base/Resources.h"
#include "panes/BatchPane.h"
#include "panes/SourceFilesModel.h"
#include "panes/SourceFilesPane.h"
#include "widgets/DropView.h"

#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace inkveil;

namespace {

// EXIF with the camera model and the date it was taken.
const Tiff Exif{false};
const QByteArray ExifSegment =
    Exif.app1(Exif.tiff({Exif.text(0x0110, "CAM"), Exif.text(0x0132, "2006:08:14 10:30:00")}));
const QString ExifText =
    QStringLiteral("CAM on 2006:08:14 10:30:00\ns at f/0, ISO 0, FL 0 mm\n0 x 0 @ 72 dpi");

} // namespace

class TestSourcesPane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup() { m_controller.reset(); }
    void drops_data();
    void drops();
    void removal_data();
    void removal();
    void exifSummary_data();
    void exifSummary();
    void exifIsReadOnce();
    void openPanelDidEnd();
    void keyboardWalk();
    void unreadableInStatus();
    void listDetails();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Small photos by extension (".png", ".jpg", with EXIF when the name says so); any other
    // name gets an empty file.
    void makeFiles(const QStringList &names)
    {
        for (const QString &name : names) {
            QVERIFY(QDir().mkpath(QFileInfo(path(name)).path()));
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            if (name.endsWith(QLatin1String(".png")) || name.endsWith(QLatin1String(".jpg")))
                image.save(&buffer, name.endsWith(QLatin1String(".png")) ? "PNG" : "JPEG");
            if (name.contains(QLatin1String("exif")))
                bytes.insert(2, ExifSegment);
            if (name.contains(QLatin1String("cut")))
                bytes.chop(4);
            QVERIFY(writeFile(path(name), bytes));
        }
    }
    // The listed paths, relative to the test folder.
    QStringList listed() const
    {
        QStringList names;
        for (const auto &file : m_pane->files())
            names.append(QDir(m_dir->path()).relativeFilePath(file->filePath()));
        return names;
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    void select(const QList<int> &rows)
    {
        m_table->clearSelection();
        for (int row : rows)
            m_table->selectionModel()->select(m_table->model()->index(row, 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
    }
    QString text(const char *label) const
    {
        return m_pane->ownView()->findChild<QLabel *>(QString::fromLatin1(label))->text();
    }
    // Next enabled, and the controller's files the pane's.
    bool nextEnabled() const
    {
        return m_controller->workFiles() == m_pane->files() &&
               m_controller->nextButton()->isEnabled();
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppController> m_controller;
    SourceFilesPane *m_pane = nullptr;
    QTableView *m_table = nullptr;
    DropView *m_dropView = nullptr;
};

void TestSourcesPane::initTestCase()
{
    // The state file stays in the test's own folder.
    qputenv("XDG_DATA_HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
    Resources::setDirectory(QStringLiteral(INKVEIL_RESOURCES_DIR));
    ApplicationPanes::registerAll();
}

void TestSourcesPane::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_controller = startWizard();
    QVERIFY(m_controller);
    m_pane = qobject_cast<SourceFilesPane *>(m_controller->currentPaneController());
    QVERIFY(m_pane);
    m_table = m_pane->ownView()->findChild<QTableView *>(QStringLiteral("files"));
    m_dropView = m_pane->ownView()->findChild<DropView *>(QStringLiteral("dropView"));
}

void TestSourcesPane::drops_data()
{
    QTest::addColumn<QStringList>("dropped"); // local files; "http" rows are remote
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("status");
    const QStringList all{"a/1.jpg", "a/sub/2.png", "a/sub/deeper/3.jpg"};
    const QString three = QStringLiteral("3 files for processing.");
    QTest::newRow("folder") << QStringList{"a"} << all << three;
    QTest::newRow("file twice") << QStringList{"a/1.jpg", "a/1.jpg"} << QStringList{"a/1.jpg"}
                                << "1 file for processing.";
    QTest::newRow("folder and a file inside it") << QStringList{"a", "a/1.jpg"} << all << three;
    QTest::newRow("remote file") << QStringList{"http"} << QStringList{} << "No files.";
}

void TestSourcesPane::drops()
{
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, expected);
    QFETCH(QString, status);
    QCOMPARE(text("status"), QStringLiteral("No files."));
    QVERIFY(!nextEnabled());
    makeFiles({"a/1.jpg", "a/notes.txt", "a/sub/2.png", "a/sub/deeper/3.jpg"});
    QList<QUrl> urls;
    for (const QString &name : dropped)
        urls.append(name == QLatin1String("http") ? QUrl(QStringLiteral("http://e.org/a.jpg"))
                                                  : QUrl::fromLocalFile(path(name)));
    const bool accepted = !expected.isEmpty();

    // Hovering highlights until the drop; a proposed move becomes a copy.
    bool highlighted = false;
    QCOMPARE(dropOnto(m_dropView, urls, &highlighted),
             accepted ? Qt::CopyAction : Qt::IgnoreAction);
    QCOMPARE(highlighted, accepted);
    QVERIFY(!m_dropView->isHighlighted());
    QCOMPARE(listed(), expected);
    // The table takes the same drops, and adds nothing twice.
    QCOMPARE(dropOnto(m_table->viewport(), urls), accepted ? Qt::CopyAction : Qt::IgnoreAction);
    QCOMPARE(listed(), expected);
    QCOMPARE(text("status"), status);
    QCOMPARE(nextEnabled(), accepted);
    if (!accepted)
        return;
    QCOMPARE(selectedRows(), QList<int>{0});
    // The offscreen platform runs no drag, so no event can name the view as the drag's
    // source: the rule the drag events apply is checked by itself.
    QMimeData data;
    data.setUrls(urls);
    QVERIFY(m_dropView->acceptsDrag(&data, m_table));
    QVERIFY(!m_dropView->acceptsDrag(&data, m_dropView));
}

void TestSourcesPane::removal_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("key"); // 0: the Remove button
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QList<int>>("selectedAfter");
    QTest::newRow("all by Delete")
        << QList<int>{0, 1, 2} << int(Qt::Key_Delete) << QStringList{} << QList<int>{};
    QTest::newRow("last by Backspace") << QList<int>{2} << int(Qt::Key_Backspace)
                                       << QStringList{"1.jpg", "2.jpg"} << QList<int>{1};
    QTest::newRow("first and last by button")
        << QList<int>{0, 2} << 0 << QStringList{"2.jpg"} << QList<int>{0};
}

void TestSourcesPane::removal()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, key);
    QFETCH(QStringList, remaining);
    QFETCH(QList<int>, selectedAfter);
    makeFiles({"1.jpg", "2.jpg", "3.jpg"});
    m_pane->addPaths({m_dir->path()});
    select(selected);
    auto *remove = m_pane->ownView()->findChild<QPushButton *>(QStringLiteral("remove"));
    if (key)
        QTest::keyClick(m_table, Qt::Key(key));
    else
        QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(listed(), remaining);
    QCOMPARE(selectedRows(), selectedAfter);
    QCOMPARE(nextEnabled(), !remaining.isEmpty());
    QCOMPARE(remove->isEnabled(), !selectedAfter.isEmpty());
    QCOMPARE(text("status") == QLatin1String("No files."), remaining.isEmpty());
}

void TestSourcesPane::exifSummary_data()
{
    QTest::addColumn<QList<int>>("selected"); // of 1.png, 2.jpg, 3-exif.jpg
    QTest::addColumn<QString>("summary");
    QTest::newRow("none") << QList<int>{} << "No files";
    QTest::newRow("several") << QList<int>{0, 2} << "Multiple Selection";
    QTest::newRow("png") << QList<int>{0} << "No EXIF data found";
    QTest::newRow("jpeg without exif") << QList<int>{1} << "No EXIF data found";
    QTest::newRow("jpeg with exif") << QList<int>{2} << ExifText;
}

void TestSourcesPane::exifSummary()
{
    QFETCH(QList<int>, selected);
    QFETCH(QString, summary);
    makeFiles({"1.png", "2.jpg", "3-exif.jpg"});
    m_pane->addPaths({m_dir->path()});
    select(selected);
    QCOMPARE(text("exif"), summary);
}

void TestSourcesPane::exifIsReadOnce()
{
    makeFiles({"1.png", "2-exif.jpg"});
    m_pane->addPaths({m_dir->path()});
    QVERIFY(!m_pane->files().at(1)->exifParsed()); // not selected, not read
    select({1});
    QCOMPARE(text("exif"), ExifText);
    select({0});
    // Gone from the disk, the photo still shows what was read the first time.
    QVERIFY(QFile::remove(path(QStringLiteral("2-exif.jpg"))));
    select({1});
    QCOMPARE(text("exif"), ExifText);
}

// A photo that can't be read is left out and named in the status line until the next drop.
void TestSourcesPane::unreadableInStatus()
{
    makeFiles({"a/1.jpg"});
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("a/pipe.jpg"))).constData(), 0600), 0);
    m_pane->addPaths({path(QStringLiteral("a"))});
    QCOMPARE(listed(), QStringList{QStringLiteral("a/1.jpg")});
    QCOMPARE(text("status"), QStringLiteral("1 file for processing. Can't read %1: It is a named "
                                            "pipe, not a file.")
                                 .arg(path(QStringLiteral("a/pipe.jpg"))));
    m_pane->addPaths({path(QStringLiteral("a/1.jpg"))});
    QCOMPARE(text("status"), QStringLiteral("1 file for processing."));

    // A photo cut short is listed, marked with why as it is added, and counted.
    makeFiles({"a/cut.jpg"});
    m_pane->addPaths({path(QStringLiteral("a/cut.jpg"))});
    QCOMPARE(text("status"),
             QStringLiteral("2 files for processing. 1 can't be read or is damaged."));
    const QModelIndex cut = m_table->model()->index(1, 0);
    QCOMPARE(cut.data(Qt::ToolTipRole).toString(),
             path(QStringLiteral("a/cut.jpg")) + QStringLiteral("\nDamaged: ends early."));
    QVERIFY(!cut.data(Qt::DecorationRole).isNull());
    QVERIFY(m_table->model()->index(0, 0).data(Qt::DecorationRole).isNull());
}

void TestSourcesPane::openPanelDidEnd()
{
    makeFiles({"f/1.jpg", "f/2.png", "3.jpg"});
    const QStringList chosen{path(QStringLiteral("f")), path(QStringLiteral("3.jpg"))};
    m_dropView->openPanelDidEnd(QDialog::Rejected, chosen);
    m_dropView->openPanelDidEnd(QDialog::Accepted, {});
    QVERIFY(m_pane->files().isEmpty());
    m_dropView->openPanelDidEnd(QDialog::Accepted, chosen);
    QCOMPARE(listed(), (QStringList{"f/1.jpg", "f/2.png", "3.jpg"}));
    QVERIFY(nextEnabled());
}

// The whole wizard by keyboard alone: photos added through the Add Photos button, forward
// with Alt+N to the last pane, back with Alt+P to the first, forward again and Alt+S starts.
// Every pane fits a 1280 x 720 screen on the way.
void TestSourcesPane::keyboardWalk()
{
    makeFiles({"in/1.jpg", "in/2.jpg"});
    const QString out = path(QStringLiteral("out"));
    m_controller->outputOptions()->setFolder(out);
    QWidget *window = m_controller->mainWindow();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    m_dropView->setChooser([this](QWidget *) { return QStringList{path(QStringLiteral("in"))}; });
    // A mnemonic clicks its button after a short flash.
    QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(listed(), (QStringList{"in/1.jpg", "in/2.jpg"}));
    m_table->setFocus();
    QTest::keyClick(m_table, Qt::Key_Tab);
    QVERIFY(!m_table->hasFocus());

    const int last = m_controller->numberOfPanes() - 1;
    const auto walk = [&](Qt::Key key, int to) {
        QTest::keyClick(window, key, Qt::AltModifier);
        QTRY_COMPARE(m_controller->currentPaneIndex(), to);
        const QSize least = window->minimumSizeHint();
        QVERIFY2(least.width() <= 1280 && least.height() <= 720,
                 qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    };
    for (int i = 1; i <= last; ++i)
        walk(Qt::Key_N, i);
    for (int i = last - 1; i >= 0; --i)
        walk(Qt::Key_P, i);
    for (int i = 1; i <= last; ++i)
        walk(Qt::Key_N, i);
    auto *batch = qobject_cast<BatchPane *>(m_controller->currentPaneController());
    QVERIFY(batch);
    QSignalSpy finished(&batch->engine(), &BatchEngine::finished);
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    QVERIFY(finished.wait(30000));
    QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"1.jpeg", "2.jpeg"}));
}

// Each photo's picture, pixel size and date taken arrive in the background; a column title
// sorts the batch itself, and photos added later take their place in that order. A photo whose
// header reads but whose pixels don't is marked once its picture has been tried.
void TestSourcesPane::listDetails()
{
    makeFiles({"d/a-exif.jpg"});
    QVERIFY(QImage(40, 10, QImage::Format_RGB32).save(path(QStringLiteral("d/b.png"))));
    QByteArray broken;
    QBuffer buffer(&broken);
    QVERIFY(buffer.open(QIODevice::WriteOnly) &&
            QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG"));
    // The chunk's check sum no longer matches.
    const qsizetype data = broken.indexOf("IDAT") + 6;
    broken[data] = static_cast<char>(broken.at(data) ^ 0x55);
    QVERIFY(writeFile(path(QStringLiteral("d/c.png")), broken));
    m_pane->addPaths({path(QStringLiteral("d"))});
    QCOMPARE(listed(), (QStringList{"d/a-exif.jpg", "d/b.png", "d/c.png"}));
    const QAbstractItemModel *model = m_table->model();
    const auto cell = [model](int row, int column, int role = Qt::DisplayRole) {
        return model->index(row, column).data(role);
    };
    QTRY_COMPARE(cell(1, SourceFilesModel::PixelSize).toString(), QStringLiteral("40 × 10"));
    QVERIFY(!cell(0, SourceFilesModel::Taken).toString().isEmpty());
    QVERIFY(cell(1, SourceFilesModel::Taken).toString().isEmpty());
    QTRY_VERIFY(!cell(1, SourceFilesModel::Picture, Qt::DecorationRole).isNull());
    // Asking for the picture is what tries the pixels.
    const auto marked = [&cell] {
        (void)cell(2, SourceFilesModel::Picture, Qt::DecorationRole);
        return !cell(2, SourceFilesModel::Name, Qt::DecorationRole).isNull();
    };
    QTRY_VERIFY(marked());
    QVERIFY(cell(1, SourceFilesModel::Name, Qt::DecorationRole).isNull());
    QCOMPARE(text("status"),
             QStringLiteral("3 files for processing. 1 can't be read or is damaged."));

    select({0});
    m_table->horizontalHeader()->setSortIndicator(SourceFilesModel::PixelSize, Qt::DescendingOrder);
    QCOMPARE(listed(), (QStringList{"d/b.png", "d/a-exif.jpg", "d/c.png"}));
    QCOMPARE(m_controller->workFiles(), m_pane->files());
    QCOMPARE(selectedRows(), QList<int>{1});
    // The pictures don't sort: the order and its arrow stay.
    m_table->horizontalHeader()->setSortIndicator(SourceFilesModel::Picture, Qt::AscendingOrder);
    QCOMPARE(listed(), (QStringList{"d/b.png", "d/a-exif.jpg", "d/c.png"}));
    QCOMPARE(m_table->horizontalHeader()->sortIndicatorSection(), int(SourceFilesModel::PixelSize));
    QVERIFY(QDir().mkpath(path(QStringLiteral("e"))));
    QVERIFY(QImage(100, 100, QImage::Format_RGB32).save(path(QStringLiteral("e/z.png"))));
    m_dropView->setChooser([this](QWidget *) { return QStringList{path(QStringLiteral("e"))}; });
    QTest::mouseClick(m_pane->ownView()->findChild<QPushButton *>(QStringLiteral("addFolder")),
                      Qt::LeftButton);
    QTRY_COMPARE(listed(), (QStringList{"e/z.png", "d/b.png", "d/a-exif.jpg", "d/c.png"}));

    // Dialogs open where the last one was left, else in the Pictures folder or the home folder.
    QSettings().setValue(QStringLiteral("sources/lastFolder"), path(QStringLiteral("e")));
    QCOMPARE(DropView::startFolder(), path(QStringLiteral("e")));
    QSettings().setValue(QStringLiteral("sources/lastFolder"), path(QStringLiteral("gone")));
    QVERIFY(DropView::startFolder() != path(QStringLiteral("gone")));
    QVERIFY(QFileInfo(DropView::startFolder()).isDir());
}

QTEST_MAIN(TestSourcesPane)
#include "tst_sourcespane.moc"
