// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "app/ApplicationPanes.h"
#include "base/Resources.h"
#include "imageio/ImageToolkit.h"
#include "panes/ImageEditor.h"
#include "panes/TextEditor.h"
#include "panes/WatermarksPane.h"
#include "session/Presets.h"
#include "session/StateFile.h"
#include "widgets/ColorWell.h"
#include "widgets/PositionView.h"
#include "widgets/PreviewView.h"
#include "widgets/SingleDropView.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace inkveil;

class TestWatermarkPane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { QFile::remove(StateFile::pathForStateFile()); }
    void cleanup() { m_controller.reset(), m_pane = nullptr; }

    void emptyListShowsDefaultAndDeleteNeedsTwo();
    void deletingSelectsANeighbour_data();
    void deletingSelectsANeighbour();
    void previewButtons();
    void listEditsSaveOnlyTheirField();

    void loadingSelectsListEntries_data();
    void loadingSelectsListEntries();
    void blocksInsertAtTheCursor_data();
    void blocksInsertAtTheCursor();

    void imageReplacesTextUntilRemoved();
    void oneImageFileIsTaken_data();
    void oneImageFileIsTaken();
    void vanishedImageBecomesPlaceholder();
    void presetsSaveAndOpen();

    void fittingControlsEditAndRedraw_data();
    void fittingControlsEditAndRedraw();
    void controlsWithoutEffectDisabled();
    void previewDragsNudgesAndZooms();

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
    QByteArray stateBytes() const { return readFile(StateFile::pathForStateFile()); }
    OverlayList savedOverlays() const
    {
        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        (void)StateFile::decode(stateBytes(), overlays, options);
        return overlays;
    }
    void selectRow(int row) const
    {
        auto *list = control<QAbstractItemView>("overlayList");
        list->setCurrentIndex(list->model()->index(row, 0));
    }
    QString status() const { return control<QLabel>("status")->text(); }
    static std::shared_ptr<Overlay> textOverlay(const QString &name)
    {
        auto overlay = std::make_shared<Overlay>();
        overlay->setName(name);
        overlay->setText(QStringLiteral("text of ") + name);
        return overlay;
    }

    // The record's value of one of the fitting fields, by its archive key.
    static QVariant fittingField(const Overlay &overlay, const QString &key)
    {
        if (key == QLatin1String("relativeSize"))
            return overlay.relativeSize();
        if (key == QLatin1String("margin"))
            return overlay.margin();
        if (key == QLatin1String("tile"))
            return overlay.tile();
        if (key == QLatin1String("tileSpacing"))
            return overlay.tileSpacing();
        if (key == QLatin1String("outlineWidth"))
            return overlay.outlineWidth();
        if (key == QLatin1String("outlineColor"))
            return overlay.outlineColor();
        if (key == QLatin1String("shadow"))
            return overlay.shadow();
        if (key == QLatin1String("shadowColor"))
            return overlay.shadowColor();
        if (key == QLatin1String("fontStyle"))
            return overlay.fontStyle();
        if (key == QLatin1String("maxWidth"))
            return overlay.maxWidth();
        return {};
    }

    QTemporaryDir m_dir;
    std::unique_ptr<AppController> m_controller;
    WatermarksPane *m_pane = nullptr;
    QString m_logo;
};

void TestWatermarkPane::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit());
    Resources::setDirectory(INKVEIL_RESOURCES_DIR);
    ApplicationPanes::registerAll();
    for (int i = 1; i <= 3; ++i)
        writePhoto(m_dir.filePath(QStringLiteral("photo%1.jpg").arg(i)), {64, 48},
                   QColor(60 * i, 90, 160));
    QImage logo(50, 30, QImage::Format_ARGB32);
    logo.fill(Qt::red);
    m_logo = m_dir.filePath("logo.png");
    QVERIFY(logo.save(m_logo));
}

void TestWatermarkPane::start(const std::optional<OverlayList> &stored, int photos)
{
    if (stored)
        QVERIFY(StateFile::saveState(*stored, OutputOptions()));
    m_controller = startWizard();
    QVERIFY(m_controller);
    m_pane = paneOf<WatermarksPane>(*m_controller);
    QVERIFY(m_pane);
    m_pane->setDeleteConfirmation([](QWidget *) { return true; });
    QStringList paths;
    for (int i = 1; i <= photos; ++i)
        paths.append(m_dir.filePath(QStringLiteral("photo%1.jpg").arg(i)));
    m_controller->setWorkFiles(workFiles(paths));
    while (m_controller->currentPaneController() != m_pane)
        m_controller->next();
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
    // The text's colour is chosen without transparency (it has an opacity of its own); the
    // box's with it.
    QVERIFY(!control<ColorWell>("color")->alphaShown());
    QVERIFY(control<ColorWell>("bgColor")->alphaShown());
}

void TestWatermarkPane::deletingSelectsANeighbour_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("neighbour");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("middle: the next one") << 1 << "C" << QStringList{"A", "C"} << true;
    QTest::newRow("last: the one before") << 2 << "B" << QStringList{"A", "B"} << true;
    QTest::newRow("cancelled") << 1 << "B" << QStringList{"A", "B", "C"} << false;
}

void TestWatermarkPane::deletingSelectsANeighbour()
{
    QFETCH(int, row);
    QFETCH(QString, neighbour);
    QFETCH(QStringList, left);
    QFETCH(bool, confirmed);
    OverlayList stored{textOverlay("A"), textOverlay("B"), textOverlay("C")};
    // Values that tell the watermarks apart in every editor.
    for (int i = 0; i < 3; ++i) {
        stored[i]->setShow(i != 1);
        stored[i]->setImgAlpha(0.1f * static_cast<float>(i + 1));
        stored[i]->setPosition(static_cast<qint16>(i + 3));
    }
    start(stored);
    selectRow(row);
    const QByteArray before = stateBytes();
    int asked = 0;
    m_pane->setDeleteConfirmation([&](QWidget *) { return ++asked, confirmed; });
    QTest::mouseClick(control<QPushButton>("removeOverlay"), Qt::LeftButton);
    QCOMPARE(asked, 1);
    if (!confirmed)
        QCOMPARE(stateBytes(), before);
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

void TestWatermarkPane::previewButtons()
{
    for (const int photos : {1, 3}) {
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
}

void TestWatermarkPane::listEditsSaveOnlyTheirField()
{
    start(OverlayList{textOverlay("A"), textOverlay("B")});
    selectRow(1);
    const QByteArray before =
        StateFile::encode(m_controller->overlays(), *m_controller->outputOptions());
    auto *list = control<QAbstractItemView>("overlayList");
    const QModelIndex index = list->model()->index(1, 0);
    list->edit(index);
    auto *editor = list->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "Renamed");
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over once the key event is done.
    QTRY_COMPARE(index.data().toString(), QStringLiteral("Renamed"));

    const OverlayList saved = savedOverlays();
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved[1]->name(), QStringLiteral("Renamed"));
    // Put the old name back: everything else is as it was.
    saved[1]->setName(QStringLiteral("B"));
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
        overlay.setRelativeSize(0.0f); // sizes in pixels
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

void TestWatermarkPane::blocksInsertAtTheCursor_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("inserted");
    QTest::newRow("copyright sign") << 3 << QStringLiteral("\u00A9");
    QTest::newRow("words") << 1 << "All rights reserved";
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
    QCOMPARE(blocks->count(), 24);
    // Placeholders say what they give on the photo shown, and when it has nothing to give.
    QCOMPARE(blocks->itemText(4),
             QStringLiteral("{FILENAME} \u2013 the photo's file name: photo1.jpg"));
    QCOMPARE(blocks->itemText(22),
             QStringLiteral("{EXIF_LENS} \u2013 lens model (none in this photo)"));
    blocks->setCurrentIndex(block);
    Q_EMIT blocks->activated(block);

    const QString expected = QStringLiteral("Photo ") + inserted + QStringLiteral("by");
    QCOMPARE(text->toPlainText(), expected);
    if (block == 0)
        return;
    // The whole text is written at once, what was typed before included.
    QCOMPARE(m_pane->currentOverlay()->text(), expected);
    QCOMPARE(savedOverlays().first()->text(), expected);
    QVERIFY(!m_pane->textEditor()->hasPendingText());
}

void TestWatermarkPane::imageReplacesTextUntilRemoved()
{
    start();
    const std::shared_ptr<Overlay> overlay = m_pane->currentOverlay();
    auto *text = control<QPlainTextEdit>("text");
    const QString oldText = text->toPlainText();
    const QColor normalText = text->palette().color(QPalette::Text);
    const auto natural = ImageToolkit::naturalSize(m_logo);
    QVERIFY(natural);
    // The image controls are enabled with an image, the text ones without.
    const auto imageShown = [&](bool image) {
        for (const char *name : {"imgAlpha", "imgRotation", "imgDelete"})
            QVERIFY2(control<QWidget>(name)->isEnabled() == image, name);
        for (const char *name : {"font", "size", "blocks", "color", "alpha", "rotation"})
            QVERIFY2(control<QWidget>(name)->isEnabled() != image, name);
        QCOMPARE(control<QLabel>("imgPreview")->pixmap().isNull(), !image);
        QCOMPARE(text->isReadOnly(), image);
        QCOMPARE(text->palette().color(QPalette::Text), image ? QColor(Qt::lightGray) : normalText);
        QCOMPARE(overlay->filePath(), image ? m_logo : QString());
        QCOMPARE(savedOverlays().first()->filePath(), overlay->filePath());
    };
    imageShown(false);
    QCOMPARE(dropOnto(control<SingleDropView>("imgDrop"), fileUrls({m_logo})), Qt::CopyAction);
    QCOMPARE(overlay->width(), static_cast<qint16>(natural->width()));
    QCOMPARE(overlay->height(), static_cast<qint16>(natural->height()));
    imageShown(true);
    QTest::mouseClick(control<QPushButton>("imgDelete"), Qt::LeftButton);
    imageShown(false);
    QCOMPARE(overlay->width(), static_cast<qint16>(natural->width()));
    QCOMPARE(overlay->height(), static_cast<qint16>(natural->height()));
    QCOMPARE(text->toPlainText(), oldText);
    QCOMPARE(overlay->text(), oldText);
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
    start();
    QStringList paths;
    for (const QString &file : files)
        paths.append(m_dir.filePath(file));
    auto *view = control<SingleDropView>("imgDrop");
    if (dropped) {
        bool highlighted = false;
        QCOMPARE(dropOnto(view, fileUrls(paths), &highlighted) == Qt::CopyAction, taken);
        QCOMPARE(highlighted, taken);
        QVERIFY(!view->isHighlighted());
    } else {
        view->openPanelDidEnd(paths, result);
    }
    QCOMPARE(m_pane->currentOverlay()->filePath(), taken ? paths.first() : QString());
}

void TestWatermarkPane::vanishedImageBecomesPlaceholder()
{
    const QString gone = m_dir.filePath("gone.png");
    QFile::remove(gone);
    QVERIFY(QFile::copy(m_logo, gone));
    auto image = textOverlay("image");
    image->setFilePath(gone);
    start(OverlayList{textOverlay("text"), image});
    QVERIFY(QFile::remove(gone));
    selectRow(1);

    const QString placeholder = Resources::imagePath("bomb");
    QCOMPARE(m_pane->imageEditor()->currentFilePath(), placeholder);
    QCOMPARE(m_pane->currentOverlay()->filePath(), placeholder);
    QCOMPARE(savedOverlays().at(1)->filePath(), placeholder);
    QVERIFY(!control<QLabel>("imgPreview")->pixmap().isNull());
    const auto natural = ImageToolkit::naturalSize(placeholder);
    QCOMPARE(m_pane->currentOverlay()->width(), static_cast<qint16>(natural->width()));
}

void TestWatermarkPane::fittingControlsEditAndRedraw_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("input"); // a spin box value, a list entry, or a chosen colour
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");
    const QColor red = QColor::fromRgbF(1.0f, 0.0f, 0.0f, 1.0f);
    QTest::newRow("size mode to pixels")
        << "sizeMode" << QVariant(0) << "relativeSize" << QVariant(0.0f);
    QTest::newRow("size in percent")
        << "size" << QVariant(QStringLiteral("8")) << "relativeSize" << QVariant(8.0f);
    QTest::newRow("style") << "fontStyle" << QVariant(QStringLiteral("Bold")) << "fontStyle"
                           << QVariant(QStringLiteral("Bold"));
    QTest::newRow("outline") << "outlineWidth" << QVariant(10.0) << "outlineWidth"
                             << QVariant(10.0f);
    QTest::newRow("shadow") << "shadow" << QVariant() << "shadow" << QVariant(true);
    QTest::newRow("margin") << "margin" << QVariant(10.0) << "margin" << QVariant(10.0f);
    QTest::newRow("tile") << "tile" << QVariant() << "tile" << QVariant(true);
    QTest::newRow("max. width") << "maxWidth" << QVariant(10.0) << "maxWidth" << QVariant(10.0f);
    QTest::newRow("outline colour")
        << "outlineColor" << QVariant(red) << "outlineColor" << QVariant(red);
}

void TestWatermarkPane::fittingControlsEditAndRedraw()
{
    QFETCH(QString, name);
    QFETCH(QVariant, input);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    start();
    // A photo large enough for a few-percent watermark to show.
    const QString photo = m_dir.filePath(QStringLiteral("large.jpg"));
    writePhoto(photo, {400, 300}, QColor(200, 200, 200));
    m_controller->setWorkFiles(workFiles({photo}));
    // No box, so that outline and shadow show; an outline, so that its colour has an effect.
    m_pane->currentOverlay()->setShow(false);
    m_pane->currentOverlay()->setOutlineWidth(3.0f);
    m_pane->activate();
    auto *preview = control<PreviewView>("preview");
    QSignalSpy rendered(preview, &PreviewView::rendered);
    QTRY_VERIFY(!preview->renderedImage().isNull());
    const QImage before = preview->renderedImage();

    QWidget *widget = control<QWidget>(qPrintable(name));
    rendered.clear();
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget)) {
        spin->setValue(input.toDouble());
    } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        box->click();
    } else if (auto *well = qobject_cast<ColorWell *>(widget)) {
        well->setChooser(
            [&input](const QColor &, QWidget *, bool) { return input.value<QColor>(); });
        well->click();
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        const int index =
            input.typeId() == QMetaType::Int ? input.toInt() : combo->findText(input.toString());
        if (combo->isEditable() && index < 0) {
            combo->setEditText(input.toString());
            combo->lineEdit()->setModified(true);
            Q_EMIT combo->lineEdit()->editingFinished();
        } else {
            QVERIFY(index >= 0);
            combo->setCurrentIndex(index);
            Q_EMIT combo->activated(index);
        }
    }
    QCOMPARE(fittingField(*m_pane->currentOverlay(), field), expected);
    QCOMPARE(fittingField(*savedOverlays().first(), field), expected);
    QVERIFY(rendered.wait(5000));
    QTRY_VERIFY(preview->renderedImage() != before);
}

void TestWatermarkPane::controlsWithoutEffectDisabled()
{
    start();
    const auto tile = control<QCheckBox>("tile");
    const auto show = control<QCheckBox>("show");
    QVERIFY(!control<QDoubleSpinBox>("tileSpacing")->isEnabled());
    QVERIFY(control<QCheckBox>("extend")->isEnabled());
    QVERIFY(!control<ColorWell>("outlineColor")->isEnabled());
    QVERIFY(!control<ColorWell>("shadowColor")->isEnabled());
    tile->click();
    QVERIFY(control<QDoubleSpinBox>("tileSpacing")->isEnabled());
    QVERIFY(!control<QCheckBox>("extend")->isEnabled()); // a tiled watermark has no band
    tile->click();
    show->click();
    QVERIFY(!control<QCheckBox>("extend")->isEnabled()); // no box, no band
    control<QCheckBox>("shadow")->click();
    QVERIFY(control<ColorWell>("shadowColor")->isEnabled());
    QVERIFY(!control<QDoubleSpinBox>("imgRelativeSize")->isEnabled()); // no image
    QVERIFY(control<QDoubleSpinBox>("margin")->isEnabled());
    auto *picker = control<PositionView>("position");
    QTest::mouseClick(picker, Qt::LeftButton, {}, picker->rect().center());
    QCOMPARE(m_pane->currentOverlay()->position(), 4);
    QVERIFY(!control<QDoubleSpinBox>("margin")->isEnabled()); // the centre has no margin
}

// Dragging in the preview and the arrow keys move the watermark by as much of the photo as the
// pointer moved over it; it is kept, saved, and drawn there. Pressing on a watermark selects it;
// the zoom buttons switch scales.
void TestWatermarkPane::previewDragsNudgesAndZooms()
{
    start();
    const QString photo = m_dir.filePath(QStringLiteral("large.jpg"));
    writePhoto(photo, {400, 300}, QColor(200, 200, 200));
    m_controller->setWorkFiles(workFiles({photo}));
    m_controller->mainWindow()->resize(1000, 700);
    m_controller->mainWindow()->show();
    m_pane->activate();
    auto *preview = control<PreviewView>("preview");
    QTRY_VERIFY(!preview->placements().isEmpty() && !preview->photoRect().isEmpty());
    const FloatPoint before = preview->placements().first().origin;
    const auto movedBy = [&](double right, double up) {
        const FloatPoint now = preview->placements().first().origin;
        return std::abs(now.x - before.x - right * 400) <= 4 &&
               std::abs(now.y - before.y - up * 300) <= 4;
    };

    const QRectF shown = preview->photoRect();
    const QPoint from = shown.center().toPoint();
    const QPoint to = from + QPoint(qRound(shown.width() * -0.25), qRound(shown.height() * -0.2));
    QTest::mousePress(preview, Qt::LeftButton, {}, from);
    QTest::mouseMove(preview, to);
    QTest::mouseRelease(preview, Qt::LeftButton, {}, to);
    QTRY_VERIFY(movedBy(-0.25, 0.2));
    const Overlay &overlay = *m_pane->currentOverlay();
    QCOMPARE(savedOverlays().first()->offsetX(), overlay.offsetX());
    QCOMPARE(savedOverlays().first()->position(), overlay.position());

    preview->setFocus();
    QTest::keyClick(preview, Qt::Key_Right);
    QTest::keyClick(preview, Qt::Key_Up, Qt::ShiftModifier);
    QTRY_VERIFY(movedBy(-0.245, 0.25));
    QCOMPARE(savedOverlays().first()->offsetY(), overlay.offsetY());

    // Pressing on a watermark selects it, also when another one was added since.
    const std::shared_ptr<Overlay> moved = m_pane->currentOverlay();
    m_pane->addOverlay();
    QTRY_COMPARE(preview->placements().size(), 2);
    const FloatRect at = preview->placements().first();
    const QRectF photoRect = preview->photoRect();
    const QPointF centre(
        photoRect.x() + (at.origin.x + at.size.width / 2) / 400 * photoRect.width(),
        photoRect.bottom() - (at.origin.y + at.size.height / 2) / 300 * photoRect.height());
    QTest::mouseClick(preview, Qt::LeftButton, {}, centre.toPoint());
    QCOMPARE(m_pane->currentOverlay(), moved);

    control<QAbstractButton>("zoomActual")->click();
    QTRY_COMPARE(preview->shownScale(), 1.0f);
    control<QAbstractButton>("zoomFit")->click();
    QCOMPARE(preview->zoom(), 0.0f);
}

// Through the keyboard: Save Preset keeps what is shown; Open Preset replaces the list, the editors
// and the output options, and saves them as the state.
void TestWatermarkPane::presetsSaveAndOpen()
{
    start(OverlayList{textOverlay(QStringLiteral("Logo"))});
    QWidget *const window = m_controller->mainWindow();
    const auto answer = [&](QKeyCombination keys, const char *dialogName, const QString &text) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, keys.key(), keys.keyboardModifiers());
        QInputDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = window->findChild<QInputDialog *>(QLatin1String(dialogName))));
        dialog->setTextValue(text);
        dialog->accept();
    };
    answer(Qt::CTRL | Qt::SHIFT | Qt::Key_S, "savePresetDialog", QStringLiteral("Studio"));
    QCOMPARE(Presets::names(), QStringList{QStringLiteral("Studio")});

    OutputOptions avif;
    avif.setFileFormat(QStringLiteral("avif"));
    QVERIFY(Presets::save(
        QStringLiteral("Web"),
        {textOverlay(QStringLiteral("Web A")), textOverlay(QStringLiteral("Web B"))}, avif));
    answer(Qt::CTRL | Qt::Key_O, "openPresetDialog", QStringLiteral("Web"));
    const auto *model = control<QAbstractItemView>("overlayList")->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("Web B"));
    QCOMPARE(control<QPlainTextEdit>("text")->toPlainText(), QStringLiteral("text of Web A"));
    QCOMPARE(m_controller->outputOptions()->fileFormat(), QStringLiteral("avif"));
    QCOMPARE(savedOverlays().size(), 2);
    QCOMPARE(savedOverlays().at(1)->name(), QStringLiteral("Web B"));

    answer(Qt::CTRL | Qt::Key_O, "openPresetDialog", QStringLiteral("Studio"));
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(control<QPlainTextEdit>("text")->toPlainText(), QStringLiteral("text of Logo"));
    QCOMPARE(m_controller->outputOptions()->fileFormat(), QStringLiteral("jpeg"));
}

QTEST_MAIN(TestWatermarkPane)
#include "tst_watermarkpane.moc"
