// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "app/ApplicationPanes.h"
#include "base/Resources.h"
#include "output/SummaryText.h"
#include "output/UsedWatermarksModel.h"
#include "panes/OutputOptionsPane.h"
#include "panes/SummaryPane.h"
#include "session/StateFile.h"
#include "wizard/PropertyBinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace inkveil;

namespace {

// "key=value;key=value" applied to an options object through its properties.
void applySettings(OutputOptions &options, const QString &settings)
{
    for (const QString &pair : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList keyValue = pair.split(QLatin1Char('='));
        QVERIFY2(options.setProperty(keyValue.at(0).toLatin1().constData(), keyValue.value(1)),
                 qPrintable(pair));
    }
}

WorkFileList photos(int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths.append(QStringLiteral("/photos/IMG_%1.JPG").arg(42 + i));
    return workFiles(paths);
}

std::shared_ptr<Overlay> overlay(const QString &name, bool use, const QString &text,
                                 const QString &filePath = QString())
{
    auto record = std::make_shared<Overlay>();
    record->setName(name);
    record->setUse(use);
    record->setText(text);
    record->setFilePath(filePath);
    return record;
}

} // namespace

class TestOutputPanes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
        Resources::setDirectory(QStringLiteral(INKVEIL_RESOURCES_DIR));
        ApplicationPanes::registerAll();
    }

    void init()
    {
        QFile::remove(stateFile());
        m_controller = startWizard();
        QVERIFY(m_controller);
        m_third = paneOf<OutputOptionsPane>(*m_controller);
        m_fourth = paneOf<SummaryPane>(*m_controller);
        QVERIFY(m_third && m_third->ownView());
        QVERIFY(m_fourth && m_fourth->ownView());
        // Every option has a control of a kind that can show it, so the rows below, one per kind
        // of control, stand for all of them.
        const QMetaObject &meta = OutputOptions::staticMetaObject;
        QCOMPARE(m_third->findChild<PropertyBinder *>()->boundProperties().size(),
                 meta.propertyCount() - meta.propertyOffset());
        QCOMPARE(m_third->currentOptions(), m_controller->outputOptions());
        show(m_third);
    }

    void cleanup()
    {
        m_controller.reset();
        m_third = nullptr;
        m_fourth = nullptr;
    }

    void editingAControlSavesItsOption_data()
    {
        QTest::addColumn<QString>("controlName");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QVariant>("expected");
        // The row's name is the option; one row per kind of control. A combo box is set to the
        // argument's index, other controls get the argument typed over them, or without one are
        // clicked or stepped up.
        const auto row = [](const char *option, const char *control, const char *argument,
                            const QVariant &expected) {
            QTest::newRow(option) << QString::fromLatin1(control) << QString::fromLatin1(argument)
                                  << expected;
        };
        row("folder", "folder", "/data/out", QStringLiteral("/data/out"));
        row("folderCreate", "folderCreate", "", false);
        row("fileFormat", "fileFormat", "4", QStringLiteral("png"));
        row("quality", "quality", "", 91);
        row("width", "width", "800", 800);
        row("baseIndex", "sourceName", "", 0);
        row("fitIndex", "fitIndex", "6", 6);
        row("existing", "existing", "2", 2);
    }

    void editingAControlSavesItsOption()
    {
        QFETCH(QString, controlName);
        QFETCH(QString, argument);
        QFETCH(QVariant, expected);

        const QByteArray option = QTest::currentDataTag();
        // Defaults, with every switch on so that no control is greyed out.
        OutputOptions &options = *m_third->currentOptions();
        applySettings(options, QStringLiteral("fileFormat=jpeg;quality=90;width=640;fitIndex=2;"
                                              "folderCreate=true;resize=true;"
                                              "baseIndex=1;createThumbnails=true"));
        QFile::remove(stateFile());

        QWidget *widget = control<QWidget>(controlName);
        QVERIFY(widget);
        QVERIFY(widget->isEnabled());
        if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            combo->setCurrentIndex(argument.toInt());
        } else if (!argument.isEmpty()) {
            if (auto *line = qobject_cast<QLineEdit *>(widget))
                line->selectAll();
            if (auto *spin = qobject_cast<QSpinBox *>(widget))
                spin->selectAll();
            QTest::keyClicks(widget, argument);
        } else if (qobject_cast<QAbstractButton *>(widget)) {
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
        } else {
            QTest::keyClick(widget, Qt::Key_Up);
        }

        // As the state file holds it: a choice as its number.
        const OutputOptions::Field *field = OutputOptions::field(QString::fromLatin1(option));
        QCOMPARE(field->get(options), expected);
        QVERIFY2(QFile::exists(stateFile()), "the change was not saved");
        QCOMPARE(field->get(*savedOptions()), expected);
        QCOMPARE(m_controller->outputOptions().get(), &options);
    }

    void optionChangesShowInTheControls()
    {
        OutputOptions &options = *m_third->currentOptions();
        applySettings(options,
                      QStringLiteral("folder=/srv/photos;folderCreate=false;fileFormat=tif;"
                                     "quality=33;height=1000;baseIndex=1;custom=trip;"
                                     "useCounter=true;digits=3;lastValue=12;fitIndex=8"));
        QCOMPARE(control<QLineEdit>(QStringLiteral("folder"))->text(),
                 QStringLiteral("/srv/photos"));
        QVERIFY(!control<QCheckBox>(QStringLiteral("folderCreate"))->isChecked());
        QCOMPARE(control<QComboBox>(QStringLiteral("fileFormat"))->currentText(),
                 QStringLiteral("tif"));
        QCOMPARE(control<QSlider>(QStringLiteral("quality"))->value(), 33);
        QCOMPARE(control<QSpinBox>(QStringLiteral("height"))->value(), 1000);
        QVERIFY(control<QRadioButton>(QStringLiteral("customName"))->isChecked());
        QVERIFY(!control<QRadioButton>(QStringLiteral("sourceName"))->isChecked());
        QCOMPARE(control<QLineEdit>(QStringLiteral("custom"))->text(), QStringLiteral("trip"));
        QCOMPARE(control<QComboBox>(QStringLiteral("fitIndex"))->currentIndex(), 8);
        QCOMPARE(control<QLabel>(QStringLiteral("sample"))->text(),
                 QStringLiteral("IMG_0042.JPG \u2192 trip012.tif"));
        // A name that would leave the output folder shows why instead of an example.
        options.setCustom(QStringLiteral("../trip"));
        QCOMPARE(control<QLabel>(QStringLiteral("sample"))->text(),
                 QStringLiteral("The custom name can't hold \"/\"."));
        options.setCustom(QStringLiteral("trip"));

        // Values a control cannot show leave the control blank or at its limit, and the option as
        // it is: showing must never write back.
        applySettings(options, QStringLiteral("width=0;fitIndex=12;fileFormat=heic;baseIndex=7"));
        QCOMPARE(control<QSpinBox>(QStringLiteral("width"))->value(), 0);
        QCOMPARE(control<QComboBox>(QStringLiteral("fitIndex"))->currentIndex(), -1);
        QCOMPARE(control<QComboBox>(QStringLiteral("fileFormat"))->currentIndex(), -1);
        QVERIFY(!control<QRadioButton>(QStringLiteral("customName"))->isChecked());
        QCOMPARE(options.width(), 0);
        QCOMPARE(options.fitIndex(), 12);
        QCOMPARE(options.fileFormat(), QStringLiteral("heic"));
        QCOMPARE(options.baseIndex(), 7);
    }

    void qualitySliderFollowsTheFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("tiff") << "tiff" << false;
        QTest::newRow("jpg") << "jpg" << true;
        QTest::newRow("png") << "png" << false;
        QTest::newRow("jpeg") << "jpeg" << true;
        QTest::newRow("webp") << "webp" << true;
        QTest::newRow("avif") << "avif" << true;
    }

    void qualitySliderFollowsTheFormat()
    {
        QFETCH(QString, format);
        QFETCH(bool, enabled);
        auto *formats = control<QComboBox>(QStringLiteral("fileFormat"));
        auto *slider = control<QSlider>(QStringLiteral("quality"));
        // From the other side first, so the slider has to change.
        formats->setCurrentIndex(
            formats->findText(enabled ? QStringLiteral("gif") : QStringLiteral("jpg")));
        QCOMPARE(slider->isEnabled(), !enabled);
        formats->setCurrentIndex(formats->findText(format));
        QCOMPARE(m_third->currentOptions()->fileFormat(), format);
        QCOMPARE(slider->isEnabled(), enabled);
        // Showing the pane again looks at the format once more.
        slider->setEnabled(!enabled);
        show(m_third);
        QCOMPARE(slider->isEnabled(), enabled);
    }

    void folderChooserEnd_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("folder");
        const QString before = QStringLiteral("/before");
        QTest::newRow("OK, one folder")
            << int(QDialog::Accepted) << QStringList{"/data/out"} << "/data/out";
        QTest::newRow("cancel") << int(QDialog::Rejected) << QStringList{"/data/out"} << before;
        QTest::newRow("OK, two folders")
            << int(QDialog::Accepted) << QStringList{"/data/a", "/data/b"} << before;
        QTest::newRow("OK, none") << int(QDialog::Accepted) << QStringList{} << before;
    }

    void folderChooserEnd()
    {
        QFETCH(int, result);
        QFETCH(QStringList, paths);
        QFETCH(QString, folder);
        m_third->currentOptions()->setFolder(QStringLiteral("/before"));
        QFile::remove(stateFile());
        m_third->openPanelDidEnd(result, paths);
        QCOMPARE(m_third->currentOptions()->folder(), folder);
        QCOMPARE(control<QLineEdit>(QStringLiteral("folder"))->text(), folder);
        QCOMPARE(QFile::exists(stateFile()), folder != QLatin1String("/before"));
    }

    // What is typed into the folder field: "~" is expanded when the typing ends, a relative
    // path is kept as typed but refused, with a word of why.
    void folderField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("refused");
        QTest::newRow("in home") << "~/web" << QDir::homePath() + QStringLiteral("/web") << false;
        QTest::newRow("absolute") << "/srv/out"
                                  << "/srv/out" << false;
        QTest::newRow("relative") << "out"
                                  << "out" << true;
    }

    void folderField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QFETCH(bool, refused);
        auto *field = control<QLineEdit>(QStringLiteral("folder"));
        field->clear();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(m_third->currentOptions()->folder(), folder);
        QCOMPARE(field->text(), folder);
        QCOMPARE(control<QLabel>(QStringLiteral("folderMessage"))->isVisibleTo(m_third->ownView()),
                 refused);
        QCOMPARE(m_third->currentOptions()->isFolderSet(), !refused);
    }

    // The two "(none)" sizes stay in the list, so stored indexes keep their meaning, but cannot
    // be chosen: the arrow keys pass over them.
    void noneThumbnailSizesCannotBeChosen()
    {
        auto *fit = control<QComboBox>(QStringLiteral("fitIndex"));
        m_third->currentOptions()->setCreateThumbnails(true);
        for (int i = 0; i < fit->count(); ++i)
            QCOMPARE(bool(fit->model()->flags(fit->model()->index(i, 0)) & Qt::ItemIsEnabled),
                     fit->itemText(i) != QLatin1String("(none)"));
        for (const auto &[from, to] : {std::pair{0, 2}, {4, 6}}) {
            fit->setCurrentIndex(from);
            QTest::keyClick(fit, Qt::Key_Down);
            QCOMPARE(m_third->currentOptions()->fitIndex(), to);
        }
    }

    void folderChooserIsAWindowModalFolderDialog()
    {
        QTest::mouseClick(control<QWidget>(QStringLiteral("pickFolder")), Qt::LeftButton);
        auto *dialog = m_controller->mainWindow()->findChild<QFileDialog *>();
        QVERIFY(dialog);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        dialog->setDirectory(m_dir.path());
        dialog->selectFile(m_dir.path());
        static_cast<QDialog *>(dialog)->accept();
        QCOMPARE(m_third->currentOptions()->folder(), m_dir.path());
    }

    void summaryTexts_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, int files, const char *settings, const char *field,
                            const char *expected) {
            QTest::newRow(name) << files << QString::fromLatin1(settings)
                                << QString::fromLatin1(field) << QString::fromUtf8(expected);
        };
        row("one file", 1, "", "source", "1 file");
        row("several files", 3, "", "source", "3 files");
        row("jpeg", 1, "", "fileformat", "jpeg, quality 90%");
        row("jpg 75", 1, "fileFormat=jpg;quality=75", "fileformat", "jpg, quality 75%");
        row("tiff", 1, "fileFormat=tiff;quality=75", "fileformat", "tiff");
        row("no resize", 1, "width=800", "resize", "No");
        row("resize", 1, "resize=true;width=800;height=600", "resize",
            "Yes, fit into 800 px. * 600 px.");
        row("default naming", 1, "", "filename", "Based on filename");
        row("all naming", 1, "baseIndex=1;useCounter=true;usePostfix=true", "filename",
            "Based on custom (image), plus 5-digit counter, plus postfix (_iv)");
        row("counter", 1, "useCounter=true;digits=3", "filename",
            "Based on filename, plus 3-digit counter");
        row("postfix", 1, "usePostfix=true;postfix=-web", "filename",
            "Based on filename, plus postfix (-web)");
        row("no thumbnails", 1, "fitIndex=8", "thumbnails", "No");
        row("thumbnails from original", 1, "createThumbnails=true", "thumbnails",
            "Yes, use original image as source, fit into 64 px. * 64 px.");
        row("thumbnails from watermarked", 1, "createThumbnails=true;sourceIndex=1;fitIndex=8",
            "thumbnails", "Yes, use watermarked image as source, fit into 256 px. * 256 px.");
        row("long edge, never enlarged", 1,
            "resize=true;resizeMode=1;resizeEdge=2048;neverEnlarge=true", "resize",
            "Yes, long edge 2048 px., never enlarged");
        row("megapixels", 1, "resize=true;resizeMode=4;resizeMegapixels=2.5", "resize",
            "Yes, 2.5 megapixels");
        row("box, never enlarged", 1, "resize=true;neverEnlarge=true", "resize",
            "Yes, fit into 640 px. * 480 px., never enlarged");
        row("camera data kept", 1, "", "metadata", "Keep all");
        row("private camera data", 1, "metadata=1", "metadata",
            "Keep all but location and serial numbers");
        row("existing replaced", 1, "", "existing", "Replaced");
        row("existing kept", 1, "existing=2", "existing",
            "Kept: the new photo gets a name ending in -2, -3, \u2026");
    }

    void summaryTexts()
    {
        QFETCH(int, files);
        QFETCH(QString, settings);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        OutputOptions options;
        applySettings(options, settings);
        const SummaryText text(photos(files), options);
        const QHash<QString, QString> fields{
            {"source", text.source()},         {"fileformat", text.fileformat()},
            {"resize", text.resize()},         {"filename", text.filename()},
            {"thumbnails", text.thumbnails()}, {"metadata", text.metadata()},
            {"existing", text.existing()}};
        QVERIFY(fields.contains(field));
        QCOMPARE(fields.value(field), expected);
    }

    // What only the batch pane would say once started, the summary says first.
    void summaryNotes_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("blankText");
        QTest::addColumn<QString>("note"); // empty: none of these notes
        QTest::newRow("no folder") << "folder="
                                   << "x"
                                   << "No output folder is chosen. The run can't start.";
        QTest::newRow("relative folder")
            << "folder=out"
            << "x"
            << "The output folder out is not a full path. The run can't start.";
        QTest::newRow("missing folder, not created")
            << "folder=/nonexistent/out;folderCreate=false"
            << "x"
            << "The output folder /nonexistent/out doesn't exist, and is not to be created: every "
               "photo will fail.";
        QTest::newRow("missing folder, created") << "folder=/nonexistent/out"
                                                 << "x"
                                                 << "";
        QTest::newRow("blank text beside a shown one")
            << "folder=/nonexistent/out"
            << " "
            << "Watermark \u201cBlank\u201d has no text and won't show.";
    }

    void summaryNotes()
    {
        QFETCH(QString, settings);
        QFETCH(QString, blankText);
        QFETCH(QString, note);
        OutputOptions options;
        applySettings(options, settings);
        const QStringList notes = SummaryText::warnings(
            photos(1), {overlay("Shown", true, "\u00A9"), overlay("Blank", true, blankText)},
            options);
        QCOMPARE(notes.filter(QRegularExpression("output folder|no text")),
                 note.isEmpty() ? QStringList() : QStringList{note});
    }

    // Output into the photos' own folder under their own names: the pane names the photos
    // skipped for it as the folder is chosen.
    void photosThatWouldReplaceThemselvesAreNamed()
    {
        const QString photo =
            writePhoto(m_dir.filePath(QStringLiteral("IMG_1.jpg")), {8, 8}, Qt::red);
        m_controller->setWorkFiles(workFiles({photo}));
        applySettings(*m_third->currentOptions(),
                      QStringLiteral("fileFormat=jpg;baseIndex=0;useCounter=false;"
                                     "usePostfix=false;folder=") +
                          m_dir.path());
        QCOMPARE(control<QLabel>(QStringLiteral("sample"))->text(),
                 QStringLiteral("IMG_1.jpg \u2192 IMG_1.jpg\n1 photo will be skipped: its output "
                                "would replace it, and sources are never replaced (IMG_1.jpg)."));
    }

    void summaryPaneShowsTheJob()
    {
        m_controller->setWorkFiles(photos(2));
        m_controller->setOverlays({overlay("Hidden", false, "x"),
                                   overlay("Credit", true, "{FILENAME} \u00A9"),
                                   overlay("Logo", true, "unused", "/logos/logo.png")});
        applySettings(*m_controller->outputOptions(),
                      QStringLiteral("folder=/data/out;fileFormat=png;baseIndex=1;custom=trip;"
                                     "useCounter=true;digits=3;lastValue=12;usePostfix=true;"
                                     "postfix=-web;resize=false;createThumbnails=false"));
        show(m_fourth);

        const auto text = [this](const char *name) {
            auto *label = m_fourth->ownView()->findChild<QLabel *>(QString::fromLatin1(name));
            return label ? label->text() : QStringLiteral("(no label)");
        };
        QStringList shown;
        for (const char *name : {"source", "tofolder", "fileformat", "resize", "filename",
                                 "originalname", "samplename", "thumbnails"})
            shown << text(name);
        QCOMPARE(shown,
                 (QStringList{"2 files", "/data/out", "png", "No",
                              "Based on custom (trip), plus 3-digit counter, plus postfix (-web)",
                              "IMG_42.JPG", "trip012-web.png", "No"}));

        // Only the watermarks in use, in list order, by column identifier.
        auto *table = m_fourth->ownView()->findChild<QTableView *>(QStringLiteral("watermarks"));
        QVERIFY(table && table->model());
        const QAbstractItemModel &model = *table->model();
        QCOMPARE(model.rowCount(), 2);
        QStringList identifiers;
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            identifiers << model
                               .headerData(column, Qt::Horizontal,
                                           UsedWatermarksModel::IdentifierRole)
                               .toString();
        for (int cell = 0; cell < model.rowCount() * model.columnCount(); ++cell)
            cells << model.index(cell / model.columnCount(), cell % model.columnCount())
                         .data()
                         .toString();
        QCOMPARE(identifiers, QStringList({"name", "type", "content"}));
        QCOMPARE(cells, QStringList({"Credit", "text", "{FILENAME} \u00A9", "Logo", "image",
                                     "/logos/logo.png"}));
        QVERIFY(!UsedWatermarksModel::cellValue(Overlay(), QStringLiteral("other")).isValid());

        // The logo is nowhere: said before the run, as the only note.
        auto *warnings = m_fourth->ownView()->findChild<QLabel *>(QStringLiteral("warnings"));
        QVERIFY(warnings && warnings->isVisibleTo(m_fourth->ownView()));
        QCOMPARE(warnings->text(), QStringLiteral("The picture of watermark \u201cLogo\u201d "
                                                  "can't be read: /logos/logo.png"));

        // The next showing starts from the model as it then stands.
        m_controller->setWorkFiles(photos(1));
        m_controller->overlays().last()->setUse(false);
        show(m_fourth);
        QCOMPARE(text("source"), QStringLiteral("1 file"));
        QVERIFY(!warnings->isVisible());
    }

    // Tab follows what the eye reads: the choice for existing files right after the folder's
    // check box, and out of the summary's table rather than from cell to cell.
    void tabFollowsTheLayout()
    {
        QWidget *const window = m_controller->mainWindow();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        show(m_third);
        QWidget *stop = control<QWidget>(QStringLiteral("folderCreate"))->nextInFocusChain();
        while (!(stop->focusPolicy() & Qt::TabFocus))
            stop = stop->nextInFocusChain();
        QCOMPARE(stop, control<QWidget>(QStringLiteral("existing")));
        m_controller->setOverlays({overlay("Credit", true, "a"), overlay("Note", true, "b")});
        show(m_fourth);
        auto *table = m_fourth->ownView()->findChild<QTableView *>(QStringLiteral("watermarks"));
        table->setFocus();
        QVERIFY(table->hasFocus());
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(!table->hasFocus());
    }

    // At 1600 x 1000 and 200 % every pane fits its width and scrolls, if at all, downwards.
    void panesNeverScrollSideways_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 5; ++i)
            QTest::newRow(qPrintable(QString::number(i + 1))) << i;
    }

    void panesNeverScrollSideways()
    {
        QFETCH(int, index);
        QWidget *const window = m_controller->mainWindow();
        window->resize(792, 464);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QScrollArea *shown = nullptr;
        for (PaneController *pane : m_controller->panes()) {
            auto *frame =
                qobject_cast<QScrollArea *>(pane->ownView()->parentWidget()->parentWidget());
            QVERIFY(frame);
            frame->setVisible(pane == m_controller->panes().at(index));
            if (frame->isVisible())
                shown = frame;
        }
        QVERIFY(shown);
        m_controller->panes().at(index)->activate();
        QTRY_VERIFY(shown->width() > 0 && shown->width() < 792);
        QCoreApplication::processEvents();
        QCOMPARE(shown->horizontalScrollBar()->maximum(), 0);
    }

private:
    template <typename T> T *control(const QString &name) const
    {
        return m_third->ownView()->findChild<T *>(name);
    }
    void show(PaneController *pane)
    {
        for (PaneController *other : m_controller->panes()) {
            if (other->ownView())
                other->ownView()->hide();
        }
        pane->ownView()->show();
        pane->activate();
    }
    QString stateFile() const { return StateFile::pathForStateFile(); }
    std::shared_ptr<OutputOptions> savedOptions() const
    {
        OverlayList overlays;
        auto options = std::make_shared<OutputOptions>();
        StateFile::loadState(overlays, options);
        return options;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<AppController> m_controller;
    OutputOptionsPane *m_third = nullptr;
    SummaryPane *m_fourth = nullptr;
};

QTEST_MAIN(TestOutputPanes)
#include "tst_outputpanes.moc"
