#include "batch/BatchCommand.h"

#include <QGuiApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void onInterrupt(int)
{
    BatchCommand::interrupt();
}

// Gathering and the engine write log lines; a terminal user wants only the command's own
// output.
void quietInfo(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtInfoMsg || type == QtDebugMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    // Text drawing needs a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietInfo);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("inkveil-batch"));
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    QTextStream out(stdout);
    QTextStream err(stderr);
    return BatchCommand::run(QCoreApplication::arguments(), out, err, isatty(STDERR_FILENO) != 0);
}
