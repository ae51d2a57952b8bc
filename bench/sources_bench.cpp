// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures opening a large batch in the source list: a folder of N photos (5000 unless --photos
// says otherwise; hard links to one 24-megapixel JPEG with camera data, so the files cost no
// disk) gathered as if dropped, until the list is on screen; then the time until the pictures of
// the rows in view are in, and until every photo's size and date are (both read in the
// background).
//
//   inkveil-sources-bench [--photos N]

#include "BenchSupport.h"

#include "app/AppController.h"
#include "app/ApplicationPanes.h"
#include "app/SystemLog.h"
#include "base/Resources.h"
#include "panes/SourceFilesModel.h"
#include "panes/SourceFilesPane.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTableView>
#include <QTemporaryDir>

#include <unistd.h>

using namespace inkveil;
using inkveil::bench::out;

namespace {

// A camera-sized photo; the list reads its header, its end and its EXIF block only.
void writeFolder(const QString &folder, int photos)
{
    QImage photo(bench::PhotoWidth, bench::PhotoHeight, QImage::Format_RGB32);
    photo.fill(QColor(90, 120, 160));
    const QString first = folder + QStringLiteral("/IMG_0.jpg");
    if (!photo.save(first, "JPEG", bench::SourceQuality))
        bench::die(QStringLiteral("Can't write %1").arg(first));
    for (int i = 1; i < photos; ++i) {
        const QString link = folder + QStringLiteral("/IMG_%1.jpg").arg(i);
        if (::link(QFile::encodeName(first).constData(), QFile::encodeName(link).constData()) != 0)
            bench::die(QStringLiteral("Can't link %1").arg(link));
    }
}

template <typename Done> double secondsUntil(const QElapsedTimer &clock, Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return bench::seconds(clock);
}

} // namespace

int main(int argc, char *argv[])
{
    // As the wizard runs: every added photo's log line goes to the system log.
    SystemLog::install(false);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption photosOption(QStringLiteral("photos"), QStringLiteral("Photos."),
                                          QStringLiteral("N"), QStringLiteral("5000"));
    parser.addOption(photosOption);
    parser.process(app);
    const int photos = std::max(1, parser.value(photosOption).toInt());

    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString folder = dir.filePath(QStringLiteral("photos"));
    QDir().mkpath(folder);
    writeFolder(folder, photos);

    ApplicationPanes::registerAll();
    AppController controller;
    controller.loadMainWindow();
    controller.setUpForm();
    controller.mainWindow()->resize(1200, 800);
    controller.mainWindow()->show();
    QCoreApplication::processEvents();
    auto *pane = qobject_cast<SourceFilesPane *>(controller.currentPaneController());
    auto *table = pane->ownView()->findChild<QTableView *>(QStringLiteral("files"));
    auto *model = qobject_cast<SourceFilesModel *>(table->model());

    QElapsedTimer clock;
    clock.start();
    pane->addPaths({folder});
    table->repaint();
    const double listed = bench::seconds(clock);
    const double pictures = secondsUntil(clock, [&] {
        table->viewport()->repaint();
        return !model
                    ->index(table->rowAt(table->viewport()->height() - 1),
                            SourceFilesModel::Picture)
                    .data(Qt::DecorationRole)
                    .isNull();
    });
    const double headers = secondsUntil(clock, [&] { return !model->details().readingHeaders(); });
    out() << QStringLiteral("%1 photos: listed and shown in %2 s; pictures of the rows in view in "
                            "%3 s; sizes and dates of all in %4 s\n")
                 .arg(pane->files().size())
                 .arg(listed, 0, 'f', 3)
                 .arg(pictures, 0, 'f', 3)
                 .arg(headers, 0, 'f', 3);
    out().flush();
    return pane->files().size() == photos ? 0 : 1;
}
