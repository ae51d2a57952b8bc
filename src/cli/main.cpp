// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/RegularFile.h"
#include "batch/BatchEngine.h"
#include "cli/BatchCommand.h"

#include <QGuiApplication>
#include <QTextStream>

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <tiffio.h>
#include <unistd.h>

using namespace inkveil;

namespace {

void onInterrupt(int)
{
    BatchCommand::interrupt();
}

// Gathering and the engine write log lines, and Qt and the image libraries warn about things
// a terminal user can do nothing about (a colour profile libpng finds odd, no XDG_RUNTIME_DIR);
// every photo's outcome is reported anyway. Only errors get through, with the photo they concern.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    const QString photo = BatchEngine::photoInProgress();
    const QString line = photo.isEmpty() ? message : photo + QLatin1String(": ") + message;
    std::fprintf(stderr, "%s\n", RegularFile::encodeName(line).constData());
}

// libtiff prints straight to stderr unless told otherwise; its errors end in a failed read or
// write, which is reported with the photo.
void quietTiff(const char *, const char *, va_list) {}

} // namespace

int main(int argc, char *argv[])
{
    // Text drawing needs a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    TIFFSetWarningHandler(quietTiff);
    TIFFSetErrorHandler(quietTiff);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("inkveil-batch"));
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    QTextStream out(stdout);
    QTextStream err(stderr);
    return BatchCommand::run(RegularFile::arguments(argc, argv), out, err,
                             isatty(STDERR_FILENO) != 0);
}
