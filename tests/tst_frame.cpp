// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"
#include "app/ApplicationPanes.h"
#include "app/WindowFit.h"
#include "base/Resources.h"
#include "imageio/ImageFormat.h"
#include "imageio/ImageToolkit.h"
#include "panes/WatermarksPane.h"
#include "render/PlaceholderExpander.h"
#include "session/StateFile.h"
#include "widgets/ListView.h"
#include "wizard/PaneController.h"
#include "wizard/PaneRegistry.h"

#include <QAbstractButton>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace inkveil;

// A pane whose answers the test sets.
class TestPane : public PaneController
{
    Q_OBJECT

public:
    bool canProceed() const override { return proceed; }
    bool canGoBack() const override { return goBack; }
    void activate() override { ++activations; }

    bool proceed = false;
    bool goBack = true;
    int activations = 0;
};

namespace {

const QStringList TestTitles{QStringLiteral("Alpha"), QStringLiteral("Bravo"),
                             QStringLiteral("Charlie"), QStringLiteral("Delta")};

// The names of the panes' forms in the source tree (every form but those of windows: the main
// window and the windows panes open, compiled into their classes rather than registered).
QStringList paneFormsInSources()
{
    QStringList forms;
    QDirIterator it(QStringLiteral(INKVEIL_SOURCE_DIR), {QStringLiteral("*.ui")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString form = it.nextFileInfo().baseName();
        if (!form.endsWith(QLatin1String("Window")))
            forms.append(form);
    }
    forms.sort();
    return forms;
}

// The letter of a text's mnemonic ("&Next" gives N; "&&" is a plain ampersand), or 0.
QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) != QLatin1Char('&'))
            return text.at(i + 1).toUpper();
        ++i;
    }
    return {};
}

// Texts with a mnemonic by their letter; each letter should have one text.
using Mnemonics = QMap<QChar, QStringList>;

// The mnemonics of what is on screen together with `widget`: buttons, group titles, labels
// that lead to a control, and the titles of tabs. A tab page's contents go to `pages`, one
// entry per page, as only one of them is on screen at a time.
void collectMnemonics(const QWidget *widget, Mnemonics &shown, QList<Mnemonics> &pages,
                      bool top = true)
{
    // A form's top widget is hidden until shown, and so are the tab pages not in front; below
    // them only what the form hides.
    if (!top && widget->isHidden())
        return;
    const auto add = [&shown](const QString &text) {
        if (const QChar letter = mnemonicOf(text); !letter.isNull())
            shown[letter].append(text);
    };
    if (const auto *label = qobject_cast<const QLabel *>(widget); label && label->buddy())
        add(label->text());
    else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        add(button->text());
    else if (const auto *group = qobject_cast<const QGroupBox *>(widget))
        add(group->title());
    if (const auto *tabs = qobject_cast<const QTabWidget *>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) {
            add(tabs->tabText(i));
            Mnemonics page;
            QList<Mnemonics> nested;
            collectMnemonics(tabs->widget(i), page, nested, true);
            pages.append(page);
        }
        return;
    }
    for (const QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        collectMnemonics(child, shown, pages, false);
}

// "Alt+P: "< &Previous", "Add a &postfix:"" for each letter that more than one text claims.
QStringList clashes(const Mnemonics &screen)
{
    QStringList found;
    for (auto it = screen.cbegin(); it != screen.cend(); ++it) {
        if (it.value().size() > 1)
            found.append(QStringLiteral("Alt+%1: \"%2\"")
                             .arg(it.key(), it.value().join(QStringLiteral("\", \""))));
    }
    return found;
}

} // namespace

class TestFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        // Resources of the test's own: the real images, and four test panes of which the third
        // names a form that does not exist.
        m_resources = m_dir.filePath(QStringLiteral("resources"));
        QVERIFY(QDir().mkpath(m_resources));
        const QDir real(QStringLiteral(INKVEIL_RESOURCES_DIR));
        for (const char *name :
             {"current.png", "processed.png", "unprocessed.png", "state.bin", "bomb.png"}) {
            const QString file = QString::fromLatin1(name);
            QVERIFY(QFile::copy(real.filePath(file), m_resources + QLatin1Char('/') + file));
        }
        m_panes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array>";
        for (int i = 0; i < TestTitles.size(); ++i) {
            const QString form =
                i == 2 ? QStringLiteral("Missing") : QStringLiteral("Pane%1").arg(i);
            m_panes += "<dict><key>class</key><string>TestPane</string><key>title</key><string>" +
                       TestTitles.at(i).toUtf8() + "</string><key>form</key><string>" +
                       form.toUtf8() + "</string></dict>";
        }
        m_panes += "</array></plist>";
    }

    void init()
    {
        Resources::setDirectory(m_resources);
        QVERIFY(writeFile(m_resources + QStringLiteral("/Panes.plist"), m_panes));
        PaneRegistry::clear();
        PaneRegistry::registerPane<TestPane>(QStringLiteral("TestPane"));
        // A test pane's form is just its view.
        for (const int i : {0, 1, 3})
            PaneRegistry::registerForm(QStringLiteral("Pane%1").arg(i),
                                       [] { return std::make_unique<PaneForm>(new QWidget); });
        QTest::ignoreMessage(QtInfoMsg, "PaneController: Can't load Missing");
        m_controller = startWizard();
        QVERIFY(m_controller);
    }

    void cleanup() { m_controller.reset(); }

    // Through the real buttons: the pane whose form is missing is listed and shows nothing, the
    // frame goes on around it; on the last pane Previous follows canGoBack and Next wraps.
    void navigation()
    {
        QCOMPARE(m_controller->numberOfPanes(), 4);
        QCOMPARE(m_controller->list()->titles(), TestTitles);
        QCOMPARE(m_controller->currentPaneController(), pane(0));
        expectShown(0, QStringLiteral("Alpha"));
        QCOMPARE(pane(0)->activations, 1);
        QVERIFY(!m_controller->previousButton()->isEnabled());
        QVERIFY(!m_controller->nextButton()->isEnabled());
        click(m_controller->nextButton());
        QCOMPARE(m_controller->currentPaneIndex(), 0);

        pane(0)->proceed = true;
        m_controller->stateChanged();
        QVERIFY(m_controller->nextButton()->isEnabled());
        click(m_controller->nextButton());
        expectShown(1, QStringLiteral("Bravo"));
        QCOMPARE(pane(1)->activations, 1);
        QVERIFY(m_controller->previousButton()->isEnabled());
        QVERIFY(!m_controller->nextButton()->isEnabled());
        click(m_controller->previousButton());
        expectShown(0, QStringLiteral("Alpha"));

        QVERIFY(pane(2) && !pane(2)->ownView());
        for (int i = 0; i < 4; ++i)
            pane(i)->proceed = true;
        m_controller->stateChanged();
        click(m_controller->nextButton());
        click(m_controller->nextButton());
        expectShown(2, QStringLiteral("Charlie"));
        click(m_controller->nextButton());
        expectShown(3, QStringLiteral("Delta"));
        pane(3)->goBack = false;
        m_controller->enablePrevious();
        QVERIFY(!m_controller->previousButton()->isEnabled());
        click(m_controller->previousButton());
        QCOMPARE(m_controller->currentPaneIndex(), 3);
        pane(3)->goBack = true;
        m_controller->enablePrevious();
        QVERIFY(m_controller->previousButton()->isEnabled());
        click(m_controller->nextButton());
        expectShown(0, QStringLiteral("Alpha"));
        QVERIFY(!m_controller->previousButton()->isEnabled());
        // Each entry activates the pane again.
        QCOMPARE(pane(0)->activations, 3);
    }

    // Alt+N and Alt+P walk the wizard as the buttons do, for people who keep to the keyboard.
    // A mnemonic clicks its button after a short flash, hence the waits.
    void keyboardWalk()
    {
        for (int i = 0; i < 4; ++i)
            pane(i)->proceed = true;
        m_controller->stateChanged();
        QWidget *const window = m_controller->mainWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (const auto &[key, index] : {std::pair{Qt::Key_N, 1}, {Qt::Key_N, 2}, {Qt::Key_P, 1}}) {
            QTest::keyClick(window, key, Qt::AltModifier);
            QTRY_COMPARE(m_controller->currentPaneIndex(), index);
        }
        expectShown(1, QStringLiteral("Bravo"));
        // Ctrl+Q closes the application's windows, which ends it.
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!window->isVisible());
    }

    void setWorkFilesKeepsACopy()
    {
        WorkFileList files{std::make_shared<WorkFile>(QStringLiteral("/x/a.jpg"))};
        m_controller->setWorkFiles(files);
        files.append(std::make_shared<WorkFile>(QStringLiteral("/x/b.jpg")));
        QCOMPARE(m_controller->workFiles().size(), 1);
        // The records themselves are shared.
        QCOMPARE(m_controller->workFiles().first(), files.first());

        OverlayList overlays{std::make_shared<Overlay>()};
        m_controller->setOverlays(overlays);
        overlays.clear();
        QCOMPARE(m_controller->overlays().size(), 1);
    }

    void listViewMarksRows_data()
    {
        QTest::addColumn<int>("current");
        QTest::newRow("first") << 0;
        QTest::newRow("middle") << 2;
        QTest::newRow("last") << 4;
    }

    void listViewMarksRows()
    {
        QFETCH(int, current);
        ListView view;
        view.resize(200, 200);
        for (const char *title : {"One", "Two", "Three", "Four", "Five"})
            view.addToTitles(QString::fromLatin1(title));
        view.setCurrentPaneIndex(current);
        QImage shot(view.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::white);
        view.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);

        // Each row's state image stands with its bottom edge 24 * (row + 1) below the top.
        const auto expectedRow = [](const QString &name) {
            const QImage image(Resources::imagePath(name));
            QImage expected(16, 16, QImage::Format_ARGB32_Premultiplied);
            expected.fill(Qt::white);
            QPainter painter(&expected);
            painter.drawImage(QPoint(0, 16 - image.height()), image);
            painter.end();
            return expected;
        };
        for (int row = 0; row < 5; ++row) {
            const QString expectedName = row == current  ? QStringLiteral("current")
                                         : row < current ? QStringLiteral("processed")
                                                         : QStringLiteral("unprocessed");
            const QImage actual = shot.copy(0, ListView::RowHeight * (row + 1) - 16, 16, 16);
            QVERIFY2(actual == expectedRow(expectedName),
                     qPrintable(QStringLiteral("row %1 is not %2").arg(row).arg(expectedName)));
        }
        // No background: the right part of the view above the first title stays untouched.
        QCOMPARE(shot.pixel(150, 2), qRgb(255, 255, 255));
    }

    // Help is a window of the application: it works without a web browser. The button and F1
    // open it at the current pane's section, and the lists it gives of formats and
    // placeholders are the program's own tables.
    void helpOpensTheHelpPage()
    {
        Resources::setDirectory(QStringLiteral(INKVEIL_RESOURCES_DIR));
        QTest::mouseClick(
            m_controller->mainWindow()->findChild<QPushButton *>(QStringLiteral("help")),
            Qt::LeftButton);
        QTextBrowser *help = m_controller->helpWindow();
        QVERIFY(help && help->isVisible() && help->isWindow());
        QVERIFY(help->source().toLocalFile().endsWith(QStringLiteral("/help/index.html")));
        QCOMPARE(help->source().fragment(), QStringLiteral("TestPane"));
        const QString text = help->toPlainText();
        QVERIFY(text.contains(QStringLiteral("Alt+N")));
        QVERIFY(!help->toHtml().contains(QStringLiteral("<!--")));
        for (const QString &placeholder : PlaceholderExpander::placeholders())
            QVERIFY2(text.contains(placeholder), qPrintable(placeholder));
        for (const ImageFormatInfo &row : ImageFormats::all()) {
            const QString name = QString::fromLatin1(row.names.front());
            const bool readable = ImageToolkit::imageFileTypes().contains(name);
            QVERIFY2(text.count(name.toUpper()) >= int(readable) + int(row.writable),
                     qPrintable(name));
        }

        help->close();
        QWidget *const window = m_controller->mainWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F1);
        QTRY_VERIFY(help->isVisible());
        // Each pane of the real wizard has its section.
        const QString page = QString::fromUtf8(readFile(help->source().toLocalFile()));
        for (const char *pane :
             {"SourceFilesPane", "WatermarksPane", "OutputOptionsPane", "SummaryPane", "BatchPane"})
            QVERIFY2(page.contains(QStringLiteral("<a name=\"%1\">").arg(QLatin1String(pane))),
                     pane);
    }

    // Every form in the source tree is compiled in under its name, and the real pane list
    // builds all five panes with their forms.
    void everyFormIsCompiledIn()
    {
        m_controller.reset();
        Resources::setDirectory(QStringLiteral(INKVEIL_RESOURCES_DIR));
        PaneRegistry::clear();
        ApplicationPanes::registerAll();

        const QStringList forms = paneFormsInSources();
        QCOMPARE(forms.size(), 5);
        for (const QString &form : forms) {
            const std::unique_ptr<PaneForm> built = PaneRegistry::createForm(form);
            QVERIFY2(built && built->view(), qPrintable(form));
        }

        AppController controller;
        controller.loadMainWindow();
        QTest::ignoreMessage(QtInfoMsg, "AppController: awakeFromNib");
        controller.setUpForm();
        QCOMPARE(controller.numberOfPanes(), 5);
        for (PaneController *paneController : controller.panes())
            QVERIFY2(paneController->ownView(), qPrintable(paneController->title()));
    }

    // A pane handed a form of another pane can't use it: it is left without a view, as with a
    // missing form, and the frame may still drive it.
    void paneRefusesAnotherPanesForm()
    {
        PaneRegistry::clear();
        ApplicationPanes::registerAll();
        WatermarksPane pane;
        QTest::ignoreMessage(QtInfoMsg, "PaneController: Can't load BatchPane");
        QVERIFY(
            !pane.setUpForm(QStringLiteral("BatchPane"), QStringLiteral("W"), m_controller.get()));
        QVERIFY(!pane.ownView());
        pane.activate();
        pane.modelReplaced();
    }

    // Each Alt+letter on screen leads to one control, and Alt+N, Alt+P (the frame's buttons) and
    // Alt+S (Start) are never taken by a control of a pane.
    void mnemonicsAreUniqueOnEveryScreen_data()
    {
        QTest::addColumn<QString>("form");
        for (const QString &form : paneFormsInSources())
            QTest::newRow(qPrintable(form)) << form;
    }

    void mnemonicsAreUniqueOnEveryScreen()
    {
        QFETCH(QString, form);
        m_controller.reset();
        PaneRegistry::clear();
        ApplicationPanes::registerAll();

        AppController controller;
        controller.loadMainWindow();
        QWidget *const frame = controller.mainWindow();
        const std::unique_ptr<PaneForm> built = PaneRegistry::createForm(form);
        QVERIFY(built);
        QWidget *const pane = built->view();
        Mnemonics frameTexts;
        QList<Mnemonics> framePages;
        collectMnemonics(frame, frameTexts, framePages);
        for (const QChar reserved : {QLatin1Char('N'), QLatin1Char('P')})
            QVERIFY2(frameTexts.contains(reserved), "the frame's buttons have lost Alt+N or Alt+P");

        Mnemonics common = frameTexts;
        QList<Mnemonics> pages;
        collectMnemonics(pane, common, pages);
        // Start owns Alt+S wherever it is; elsewhere no control may take it either.
        if (!pane->findChild<QPushButton *>(QStringLiteral("all_start")))
            common[QLatin1Char('S')].prepend(QStringLiteral("Start, on the batch pane"));
        if (pages.isEmpty())
            pages.append(Mnemonics());
        QStringList problems;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            Mnemonics screen = common;
            for (auto it = pages.at(i).cbegin(); it != pages.at(i).cend(); ++it)
                screen[it.key()] += it.value();
            for (const QString &clash : clashes(screen)) {
                const QString where =
                    pages.size() > 1 ? QStringLiteral(" (tab %1)").arg(i + 1) : QString();
                if (!problems.contains(clash))
                    problems.append(form + where + QStringLiteral(" with the window's buttons: ") +
                                    clash);
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The first start fills about two thirds of the screen, at least 1000 x 700 where that fits,
    // its frame inside the screen; later starts bring back the size and place the window was
    // left with while that still fits, and start afresh where it no longer does.
    void windowGeometry_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("first");
        QTest::newRow("1600 x 1000") << QRect(0, 0, 1600, 1000) << QSize(1066, 700);
        QTest::newRow("2560 x 1440") << QRect(0, 30, 2560, 1410) << QSize(1706, 940);
        QTest::newRow("1280 x 720: the frame fits too")
            << QRect(0, 0, 1280, 720) << QSize(1000, 684);
        QTest::newRow("1600 x 1000 at 200 %") << QRect(0, 0, 800, 500) << QSize(792, 464);
    }

    void windowGeometry()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, first);
        QWidget *window = m_controller->mainWindow();
        const QString path = m_dir.filePath(QStringLiteral("window.ini"));
        QFile::remove(path);
        const auto framed = [](const QWidget *w) {
            return w->geometry().marginsAdded(WindowFit::TypicalFrame);
        };
        // As at start-up: before the window is shown, so that its frame is not yet known.
        const auto restore = [&](QSettings &settings) {
            m_controller->mainWindow()->hide();
            m_controller->restoreWindowGeometry(settings, available);
        };
        {
            QSettings settings(path, QSettings::IniFormat);
            restore(settings);
            QCOMPARE(window->size(), first);
            QVERIFY(available.contains(framed(window)));
            QVERIFY((framed(window).center() - available.center()).manhattanLength() <= 2);
            window->setGeometry(QRect(available.topLeft() + QPoint(4, 40), first - QSize(8, 40)));
            m_controller->saveWindowGeometry(settings);
        }
        const QRect left = window->geometry();
        m_controller = startWizard();
        QVERIFY(m_controller);
        {
            QSettings settings(path, QSettings::IniFormat);
            restore(settings);
            QCOMPARE(m_controller->mainWindow()->geometry(), left);
            // Left on a larger screen than there is now.
            m_controller->mainWindow()->setGeometry(
                QRect(available.topLeft() + QPoint(40, 50), QSize(3000, 1600)));
            m_controller->saveWindowGeometry(settings);
        }
        m_controller = startWizard();
        QSettings settings(path, QSettings::IniFormat);
        restore(settings);
        QCOMPARE(m_controller->mainWindow()->size(), first);
    }

    void unusablePaneListsLeaveNoPanes_data()
    {
        QTest::addColumn<QByteArray>("paneList");
        QTest::addColumn<QByteArray>("logLine");
        QTest::newRow("missing") << QByteArray() << QByteArray();
        QTest::newRow("unknown class")
            << QByteArray(
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>class</key>"
                   "<string>NoSuchPane</string><key>title</key><string>T</string>"
                   "<key>form</key><string>Pane0</string></dict></array></plist>")
            << QByteArray("AppController: Unknown pane class NoSuchPane");
    }

    void unusablePaneListsLeaveNoPanes()
    {
        QFETCH(QByteArray, paneList);
        QFETCH(QByteArray, logLine);
        m_controller.reset();
        QFile::remove(m_resources + QStringLiteral("/Panes.plist"));
        if (!paneList.isEmpty())
            QVERIFY(writeFile(m_resources + QStringLiteral("/Panes.plist"), paneList));

        // The frame survives with no pane at all; main() then tells the user and quits.
        AppController controller;
        controller.loadMainWindow();
        QTest::ignoreMessage(QtInfoMsg, "AppController: awakeFromNib");
        if (!logLine.isEmpty())
            QTest::ignoreMessage(QtInfoMsg, logLine.constData());
        controller.setUpForm();
        QCOMPARE(controller.numberOfPanes(), 0);
        QVERIFY(!controller.currentPaneController());
        controller.next();
        controller.previous();
        controller.stateChanged();
        QCOMPARE(controller.currentPaneIndex(), 0);
    }

    // A damaged state file is kept aside and the user told once, without the start waiting.
    void damagedStateTold()
    {
        m_controller.reset();
        const QString state = StateFile::pathForStateFile();
        QVERIFY(writeFile(state, "<?xml version=\"1.0\"?><plist><dict><key>"));
        QTest::ignoreMessage(QtInfoMsg, "PaneController: Can't load Missing");
        m_controller = startWizard();
        QVERIFY(m_controller);
        QMessageBox *alert = nullptr;
        QTRY_VERIFY((alert = m_controller->mainWindow()->findChild<QMessageBox *>(
                         QStringLiteral("damagedStateAlert"))) &&
                    alert->isVisible());
        QVERIFY2(alert->text().contains(state + QStringLiteral(".damaged")),
                 qPrintable(alert->text()));
        alert->close();
        QVERIFY(QFile::remove(state + QStringLiteral(".damaged")));
    }

private:
    TestPane *pane(int index) const
    {
        return qobject_cast<TestPane *>(m_controller->panes().at(index));
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Only the current pane's view is visible; headline and list follow.
    void expectShown(int index, const QString &title)
    {
        QCOMPARE(m_controller->currentPaneIndex(), index);
        QCOMPARE(m_controller->headline()->text(), title);
        QCOMPARE(m_controller->list()->currentPaneIndex(), index);
        for (int i = 0; i < 4; ++i)
            if (pane(i)->ownView())
                QCOMPARE(pane(i)->ownView()->isVisible(), i == index);
    }

    QTemporaryDir m_dir;
    QString m_resources;
    QByteArray m_panes;
    std::unique_ptr<AppController> m_controller;
};

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
