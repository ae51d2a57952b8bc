#include "app/AppController.h"
#include "app/ApplicationPanes.h"
#include "app/Resources.h"
#include "app/StateFile.h"
#include "render/ImageToolkit.h"
#include "watermarks/ColorWell.h"
#include "watermarks/IVImageController.h"
#include "watermarks/IVTextController.h"
#include "watermarks/PositionView.h"
#include "watermarks/SecondPaneController.h"
#include "watermarks/SingleDropView.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

class TestWatermarkPane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void emptyListShowsDefaultAndDeleteNeedsTwo();
    void cancelledDeleteChangesNothing();
    void deletingSelectsANeighbour_data();
    void deletingSelectsANeighbour();
    void previewButtons_data();
    void previewButtons();
    void listEditsSaveOnlyTheirField_data();
    void listEditsSaveOnlyTheirField();

    void loadingSelectsListEntries_data();
    void loadingSelectsListEntries();
    void typedSizeIsTaken_data();
    void typedSizeIsTaken();
    void blocksInsertAtTheCursor_data();
    void blocksInsertAtTheCursor();
    void typingIsWrittenToTheWatermarkBeingLeft();
    void colourWellsWriteBack_data();
    void colourWellsWriteBack();

    void imageReplacesTextUntilRemoved();
    void oneImageFileIsTaken_data();
    void oneImageFileIsTaken();
    void clickOpensWindowModalDialog();
    void vanishedImageBecomesPlaceholder_data();
    void vanishedImageBecomesPlaceholder();

private:
    // Starts the wizard on a state file holding the given watermarks (none: the default
    // state) and enters the watermark pane with the first `photos` photos.
    void start(const std::optional<OverlayList> &stored = std::nullopt, int photos = 1);
    template <typename T> T *control(const char *name) const
    {
        T *widget = m_pane->ownView()->findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }
    QByteArray stateBytes() const;
    OverlayList savedOverlays() const;
    void selectRow(int row) const;
    QString status() const { return control<QLabel>("status")->text(); }
    static std::shared_ptr<Overlay> textOverlay(const QString &name);

    QTemporaryDir m_dir;
    std::unique_ptr<AppController> m_controller;
    SecondPaneController *m_pane = nullptr;
    QString m_logo;
};

void TestWatermarkPane::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit());
    Resources::setDirectory(INKVEIL_RESOURCES_DIR);
    ApplicationPanes::registerAll();
    for (int i = 1; i <= 3; ++i) {
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(QColor(60 * i, 90, 160));
        QVERIFY(photo.save(m_dir.filePath(QStringLiteral("photo%1.jpg").arg(i))));
    }
    QImage logo(50, 30, QImage::Format_ARGB32);
    logo.fill(Qt::red);
    m_logo = m_dir.filePath("logo.png");
    QVERIFY(logo.save(m_logo));
}

void TestWatermarkPane::init()
{
    QFile::remove(StateFile::pathForStateFile());
}

void TestWatermarkPane::cleanup()
{
    m_controller.reset();
    m_pane = nullptr;
    Resources::setDirectory(INKVEIL_RESOURCES_DIR);
}

void TestWatermarkPane::start(const std::optional<OverlayList> &stored, int photos)
{
    if (stored)
        QVERIFY(StateFile::saveState(*stored, OutputOptions()));
    m_controller = std::make_unique<AppController>();
    QVERIFY(m_controller->loadMainWindow());
    QTest::ignoreMessage(QtInfoMsg, "AppController: awakeFromNib");
    m_controller->awakeFromNib();
    m_controller->mainWindow()->show();
    for (PaneController *pane : m_controller->panes()) {
        if (auto *watermarks = qobject_cast<SecondPaneController *>(pane))
            m_pane = watermarks;
    }
    QVERIFY(m_pane);
    m_pane->setDeleteConfirmation([](QWidget *) { return true; });
    WorkFileList files;
    for (int i = 1; i <= photos; ++i)
        files.append(
            std::make_shared<WorkFile>(m_dir.filePath(QStringLiteral("photo%1.jpg").arg(i))));
    m_controller->setWorkFiles(files);
    while (m_controller->currentPaneController() != m_pane)
        m_controller->next();
}

QByteArray TestWatermarkPane::stateBytes() const
{
    QFile file(StateFile::pathForStateFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

OverlayList TestWatermarkPane::savedOverlays() const
{
    OverlayList overlays;
    auto options = std::make_shared<OutputOptions>();
    StateFile::decode(stateBytes(), overlays, options);
    return overlays;
}

void TestWatermarkPane::selectRow(int row) const
{
    auto *list = control<QAbstractItemView>("overlayList");
    list->setCurrentIndex(list->model()->index(row, 0));
}

std::shared_ptr<Overlay> TestWatermarkPane::textOverlay(const QString &name)
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setName(name);
    overlay->setText(QStringLiteral("text of ") + name);
    return overlay;
}

void TestWatermarkPane::emptyListShowsDefaultAndDeleteNeedsTwo()
{
    start(OverlayList{});
    const auto *model = control<QAbstractItemView>("overlayList")->model();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Default"));
    QCOMPARE(control<QPlainTextEdit>("text")->toPlainText(), Overlay::DefaultText);
    auto *remove = control<QPushButton>("removeOverlay");
    QVERIFY(!remove->isEnabled());

    QTest::mouseClick(control<QPushButton>("addOverlay"), Qt::LeftButton);
    QVERIFY(remove->isEnabled());
    QCOMPARE(m_pane->overlays().size(), 2);
    QCOMPARE(m_pane->currentOverlay(), m_pane->overlays().last());
    QCOMPARE(savedOverlays().size(), 2);
    QCOMPARE(m_controller->overlays(), m_pane->overlays());
}

void TestWatermarkPane::cancelledDeleteChangesNothing()
{
    start(OverlayList{textOverlay("A"), textOverlay("B")});
    selectRow(1);
    const QByteArray before = stateBytes();
    int asked = 0;
    m_pane->setDeleteConfirmation([&asked](QWidget *) {
        ++asked;
        return false;
    });
    QTest::mouseClick(control<QPushButton>("removeOverlay"), Qt::LeftButton);
    QCOMPARE(asked, 1);
    QCOMPARE(m_pane->overlays().size(), 2);
    QCOMPARE(m_pane->currentOverlay()->name(), QStringLiteral("B"));
    QCOMPARE(stateBytes(), before);
}

void TestWatermarkPane::deletingSelectsANeighbour_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("neighbour");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("middle: the next one") << 1 << "C" << QStringList{"A", "C"};
    QTest::newRow("last: the one before") << 2 << "B" << QStringList{"A", "B"};
}

void TestWatermarkPane::deletingSelectsANeighbour()
{
    QFETCH(int, row);
    QFETCH(QString, neighbour);
    QFETCH(QStringList, left);
    OverlayList stored{textOverlay("A"), textOverlay("B"), textOverlay("C")};
    // Values that tell the watermarks apart in every editor.
    for (int i = 0; i < 3; ++i) {
        stored[i]->setShow(i != 1);
        stored[i]->setImgAlpha(0.1f * static_cast<float>(i + 1));
        stored[i]->setPosition(static_cast<qint16>(i + 3));
    }
    start(stored);
    selectRow(row);
    QTest::mouseClick(control<QPushButton>("removeOverlay"), Qt::LeftButton);

    const std::shared_ptr<Overlay> current = m_pane->currentOverlay();
    QCOMPARE(current->name(), neighbour);
    QCOMPARE(control<QPlainTextEdit>("text")->toPlainText(),
             QStringLiteral("text of ") + neighbour);
    QCOMPARE(control<QCheckBox>("show")->isChecked(), current->show());
    QCOMPARE(control<QSlider>("imgAlpha")->value(), qRound(current->imgAlpha() * 100));
    QCOMPARE(control<PositionView>("position")->position(), current->position());
    QStringList saved;
    for (const auto &overlay : savedOverlays())
        saved.append(overlay->name());
    QCOMPARE(saved, left);
    QCOMPARE(m_controller->overlays(), m_pane->overlays());
}

void TestWatermarkPane::previewButtons_data()
{
    QTest::addColumn<int>("photos");
    QTest::newRow("one photo") << 1;
    QTest::newRow("three photos") << 3;
}

void TestWatermarkPane::previewButtons()
{
    QFETCH(int, photos);
    start(std::nullopt, photos);
    auto *previous = control<QPushButton>("previous");
    auto *next = control<QPushButton>("next");
    QVERIFY(!previous->isEnabled());
    QCOMPARE(next->isEnabled(), photos > 1);
    QCOMPARE(status(), QStringLiteral("photo1.jpg, file 1 of %1").arg(photos));
    for (int i = 1; i < photos; ++i)
        QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(previous->isEnabled(), photos > 1);
    QVERIFY(!next->isEnabled());
    QCOMPARE(status(), QStringLiteral("photo%1.jpg, file %1 of %1").arg(photos));

    // Coming back to the pane starts again at the first photo.
    m_controller->previous();
    m_controller->next();
    QVERIFY(!previous->isEnabled());
    QCOMPARE(status(), QStringLiteral("photo1.jpg, file 1 of %1").arg(photos));
}

void TestWatermarkPane::listEditsSaveOnlyTheirField_data()
{
    QTest::addColumn<bool>("rename");
    QTest::newRow("rename in place") << true;
    QTest::newRow("untick use") << false;
}

void TestWatermarkPane::listEditsSaveOnlyTheirField()
{
    QFETCH(bool, rename);
    start(OverlayList{textOverlay("A"), textOverlay("B")});
    selectRow(1);
    const QByteArray before =
        StateFile::encode(m_controller->overlays(), *m_controller->outputOptions());
    auto *list = control<QAbstractItemView>("overlayList");
    const QModelIndex index = list->model()->index(1, 0);
    if (rename) {
        list->edit(index);
        auto *editor = list->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "Renamed");
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor hands its text over once the key event is done.
        QTRY_COMPARE(index.data().toString(), QStringLiteral("Renamed"));
    } else {
        QVERIFY(list->model()->setData(index, Qt::Unchecked, Qt::CheckStateRole));
    }

    const OverlayList saved = savedOverlays();
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved[1]->name(), rename ? QStringLiteral("Renamed") : QStringLiteral("B"));
    QCOMPARE(saved[1]->use(), rename);
    // Put the edited field back: everything else is as it was.
    saved[1]->setName(QStringLiteral("B"));
    saved[1]->setUse(true);
    QCOMPARE(StateFile::encode(saved, *m_controller->outputOptions()), before);
    QCOMPARE(m_pane->currentOverlay(), m_pane->overlays().at(1));
}

void TestWatermarkPane::loadingSelectsListEntries_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("entry");
    // Every row first loads 225 degrees (entry 5), so "keeps" means entry 5 stays.
    QTest::newRow("size 36 listed") << "size" << 36.0f << "36" << 8;
    QTest::newRow("size 20 not listed") << "size" << 20.0f << "20" << -1;
    QTest::newRow("size 10.5") << "size" << 10.5f << "10.5" << -1;
    QTest::newRow("text rotation 90") << "rotation" << 90.0f << "90\u00B0" << 2;
    QTest::newRow("text rotation 30 keeps") << "rotation" << 30.0f << "225\u00B0" << 5;
    QTest::newRow("image rotation 45") << "imgRotation" << 45.0f << "45\u00B0" << 1;
    QTest::newRow("image rotation 30 keeps") << "imgRotation" << 30.0f << "225\u00B0" << 5;
}

void TestWatermarkPane::loadingSelectsListEntries()
{
    QFETCH(QString, field);
    QFETCH(float, value);
    QFETCH(QString, shown);
    QFETCH(int, entry);
    start();
    const auto load = [&](float rotation, float pointSize) {
        Overlay &overlay = *m_pane->currentOverlay();
        overlay.setRotation(rotation);
        overlay.setImgRotation(rotation);
        overlay.setPointSize(pointSize);
        m_pane->activate();
    };
    load(225.0f, 36.0f);
    if (field == QLatin1String("size"))
        load(225.0f, value);
    else
        load(value, 36.0f);
    auto *list = m_pane->ownView()->findChild<QComboBox *>(field);
    QCOMPARE(list->currentText(), shown);
    QCOMPARE(list->currentIndex(), entry);
}

void TestWatermarkPane::typedSizeIsTaken_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<float>("pointSize");
    QTest::newRow("a number") << "20" << 20.0f;
    QTest::newRow("number first") << "12.5 pt" << 12.5f;
    QTest::newRow("no number") << "big" << 0.0f;
}

void TestWatermarkPane::typedSizeIsTaken()
{
    QFETCH(QString, typed);
    QFETCH(float, pointSize);
    start();
    QLineEdit *field = control<QComboBox>("size")->lineEdit();
    field->selectAll();
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(m_pane->currentOverlay()->pointSize(), pointSize);
    QCOMPARE(savedOverlays().first()->pointSize(), pointSize);
}

void TestWatermarkPane::blocksInsertAtTheCursor_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("inserted");
    QTest::newRow("copyright sign") << 3 << QStringLiteral("\u00A9");
    QTest::newRow("words") << 1 << "All rights reserved";
    QTest::newRow("placeholder") << 6 << "{YEAR}";
    QTest::newRow("prompt") << 0 << "";
}

void TestWatermarkPane::blocksInsertAtTheCursor()
{
    QFETCH(int, block);
    QFETCH(QString, inserted);
    start();
    auto *text = control<QPlainTextEdit>("text");
    text->selectAll();
    QTest::keyClicks(text, "Photo ");
    QTest::keyClicks(text, "by");
    QTest::keyClick(text, Qt::Key_Left);
    QTest::keyClick(text, Qt::Key_Left);
    auto *blocks = control<QComboBox>("blocks");
    QCOMPARE(blocks->count(), 21);
    blocks->setCurrentIndex(block);
    Q_EMIT blocks->activated(block);

    const QString expected = QStringLiteral("Photo ") + inserted + QStringLiteral("by");
    QCOMPARE(text->toPlainText(), expected);
    if (block == 0)
        return;
    // The whole text is written at once, what was typed before included.
    QCOMPARE(m_pane->currentOverlay()->text(), expected);
    QCOMPARE(savedOverlays().first()->text(), expected);
    QVERIFY(!m_pane->textController()->hasPendingText());
}

void TestWatermarkPane::typingIsWrittenToTheWatermarkBeingLeft()
{
    start(OverlayList{textOverlay("A"), textOverlay("B")});
    auto *text = control<QPlainTextEdit>("text");
    text->moveCursor(QTextCursor::End);
    QTest::keyClicks(text, " typed");
    QTRY_COMPARE(m_pane->currentOverlay()->text(), QStringLiteral("text of A typed"));

    // Leaving the watermark before the pause is over still keeps the last keys.
    QTest::keyClicks(text, " more");
    selectRow(1);
    QCOMPARE(m_pane->overlays().at(0)->text(), QStringLiteral("text of A typed more"));
    QCOMPARE(m_pane->overlays().at(1)->text(), QStringLiteral("text of B"));
    QCOMPARE(text->toPlainText(), QStringLiteral("text of B"));
    QCOMPARE(savedOverlays().at(0)->text(), QStringLiteral("text of A typed more"));
}

void TestWatermarkPane::colourWellsWriteBack_data()
{
    QTest::addColumn<QString>("well");
    QTest::addColumn<QColor>("chosen");
    const QColor translucent = QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.5f);
    QTest::newRow("text") << "color" << translucent;
    QTest::newRow("background") << "bgColor" << translucent;
    QTest::newRow("cancelled") << "bgColor" << QColor();
}

void TestWatermarkPane::colourWellsWriteBack()
{
    QFETCH(QString, well);
    QFETCH(QColor, chosen);
    start();
    const std::shared_ptr<Overlay> overlay = m_pane->currentOverlay();
    const bool text = well == QLatin1String("color");
    const QColor before = text ? overlay->color() : overlay->bgColor();
    auto *button = m_pane->ownView()->findChild<ColorWell *>(well);
    QColor offered;
    button->setChooser([&](const QColor &current, QWidget *) {
        offered = current;
        return chosen;
    });
    button->click();
    QCOMPARE(offered, before);
    const QColor expected = chosen.isValid() ? chosen : before;
    QCOMPARE(text ? overlay->color() : overlay->bgColor(), expected);
    QCOMPARE(button->color(), expected);
}

namespace {

std::unique_ptr<QMimeData> fileDrag(const QStringList &paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

// Sends a drag over the view and drops it; answers whether the drag was taken.
bool dragAndDrop(SingleDropView *view, const QStringList &paths, bool *highlighted = nullptr)
{
    const std::unique_ptr<QMimeData> data = fileDrag(paths);
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    if (highlighted)
        *highlighted = view->isHighlighted();
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(view, &leave);
        return false;
    }
    QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    return drop.isAccepted();
}

} // namespace

void TestWatermarkPane::imageReplacesTextUntilRemoved()
{
    start();
    const std::shared_ptr<Overlay> overlay = m_pane->currentOverlay();
    auto *text = control<QPlainTextEdit>("text");
    const QString oldText = text->toPlainText();
    const QColor normalText = text->palette().color(QPalette::Text);
    QVERIFY(!control<QPushButton>("imgDelete")->isEnabled());

    QVERIFY(dragAndDrop(control<SingleDropView>("imgDrop"), {m_logo}));
    const auto natural = ImageToolkit::naturalSize(m_logo);
    QVERIFY(natural);
    QCOMPARE(overlay->filePath(), m_logo);
    QCOMPARE(overlay->width(), static_cast<qint16>(natural->width()));
    QCOMPARE(overlay->height(), static_cast<qint16>(natural->height()));
    QCOMPARE(savedOverlays().first()->filePath(), m_logo);
    for (const char *name : {"imgAlpha", "imgRotation", "imgDelete"})
        QVERIFY2(control<QWidget>(name)->isEnabled(), name);
    QVERIFY(!control<QLabel>("imgPreview")->pixmap().isNull());
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->palette().color(QPalette::Text), QColor(Qt::lightGray));
    for (const char *name : {"font", "size", "blocks", "color", "alpha", "rotation"})
        QVERIFY2(!control<QWidget>(name)->isEnabled(), name);

    QTest::mouseClick(control<QPushButton>("imgDelete"), Qt::LeftButton);
    QVERIFY(overlay->filePath().isEmpty());
    QCOMPARE(overlay->width(), static_cast<qint16>(natural->width()));
    QCOMPARE(overlay->height(), static_cast<qint16>(natural->height()));
    QVERIFY(savedOverlays().first()->filePath().isEmpty());
    for (const char *name : {"imgAlpha", "imgRotation", "imgDelete"})
        QVERIFY2(!control<QWidget>(name)->isEnabled(), name);
    QVERIFY(control<QLabel>("imgPreview")->pixmap().isNull());
    QVERIFY(!text->isReadOnly());
    QCOMPARE(text->palette().color(QPalette::Text), normalText);
    QCOMPARE(text->toPlainText(), oldText);
    QCOMPARE(overlay->text(), oldText);
    for (const char *name : {"font", "size", "blocks", "color", "alpha", "rotation"})
        QVERIFY2(control<QWidget>(name)->isEnabled(), name);
}

void TestWatermarkPane::oneImageFileIsTaken_data()
{
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("taken");
    const QStringList one{"logo.png"};
    const QStringList two{"logo.png", "photo1.jpg"};
    const int ok = QDialog::Accepted;
    QTest::newRow("drop: one image") << true << one << ok << true;
    QTest::newRow("drop: two images") << true << two << ok << false;
    QTest::newRow("drop: extension in mixed case")
        << true << QStringList{"logo.Png"} << ok << false;
    QTest::newRow("drop: not an image type") << true << QStringList{"notes.txt"} << ok << false;
    QTest::newRow("drop: folder") << true << QStringList{"folder.png"} << ok << false;
    QTest::newRow("dialog: one image") << false << one << ok << true;
    QTest::newRow("dialog: cancelled") << false << one << int(QDialog::Rejected) << false;
    QTest::newRow("dialog: two images") << false << two << ok << false;
}

void TestWatermarkPane::oneImageFileIsTaken()
{
    QFETCH(bool, dropped);
    QFETCH(QStringList, files);
    QFETCH(int, result);
    QFETCH(bool, taken);
    if (!QFile::exists(m_dir.filePath("logo.Png")))
        QVERIFY(QFile::copy(m_logo, m_dir.filePath("logo.Png")));
    QVERIFY(QDir(m_dir.path()).mkpath("folder.png"));
    start();
    QStringList paths;
    for (const QString &file : files)
        paths.append(m_dir.filePath(file));
    auto *view = control<SingleDropView>("imgDrop");
    if (dropped) {
        bool highlighted = false;
        QCOMPARE(dragAndDrop(view, paths, &highlighted), taken);
        QCOMPARE(highlighted, taken);
        QVERIFY(!view->isHighlighted());
    } else {
        view->openPanelDidEnd(paths, result);
    }
    QCOMPARE(m_pane->currentOverlay()->filePath(), taken ? paths.first() : QString());
}

void TestWatermarkPane::clickOpensWindowModalDialog()
{
    start();
    auto *view = control<SingleDropView>("imgDrop");
    QTest::mouseClick(view, Qt::LeftButton);
    auto *dialog = m_controller->mainWindow()->findChild<QFileDialog *>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->reject();
    QVERIFY(m_pane->currentOverlay()->filePath().isEmpty());
}

void TestWatermarkPane::vanishedImageBecomesPlaceholder_data()
{
    QTest::addColumn<bool>("placeholderReadable");
    QTest::newRow("placeholder shown") << true;
    QTest::newRow("placeholder unreadable too") << false;
}

void TestWatermarkPane::vanishedImageBecomesPlaceholder()
{
    QFETCH(bool, placeholderReadable);
    if (!placeholderReadable) {
        // Resources of our own whose missing-image picture is not an image.
        const QString resources = m_dir.filePath("broken-resources");
        QVERIFY(QDir().mkpath(resources));
        const QDir real(INKVEIL_RESOURCES_DIR);
        for (const QString &file : real.entryList(QDir::Files))
            QFile::copy(real.filePath(file), resources + QLatin1Char('/') + file);
        QFile::remove(resources + "/bomb.png");
        QFile bomb(resources + "/bomb.png");
        QVERIFY(bomb.open(QIODevice::WriteOnly));
        bomb.write("not a picture");
        bomb.close();
        Resources::setDirectory(resources);
    }
    const QString gone = m_dir.filePath("gone.png");
    QFile::remove(gone);
    QVERIFY(QFile::copy(m_logo, gone));
    auto image = textOverlay("image");
    image->setFilePath(gone);
    start(OverlayList{textOverlay("text"), image});
    QVERIFY(QFile::remove(gone));
    selectRow(1);

    const QString placeholder = Resources::imagePath("bomb");
    QCOMPARE(m_pane->imageController()->currentFilePath(), placeholder);
    QCOMPARE(m_pane->currentOverlay()->filePath(), placeholder);
    QCOMPARE(savedOverlays().at(1)->filePath(), placeholder);
    QCOMPARE(control<QLabel>("imgPreview")->pixmap().isNull(), !placeholderReadable);
    if (placeholderReadable) {
        const auto natural = ImageToolkit::naturalSize(placeholder);
        QCOMPARE(m_pane->currentOverlay()->width(), static_cast<qint16>(natural->width()));
    }
}

QTEST_MAIN(TestWatermarkPane)
#include "tst_watermarkpane.moc"
