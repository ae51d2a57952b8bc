// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SystemLog.h"

#include "base/Logging.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdarg>
#include <cstdio>
#include <syslog.h>
#include <tiffio.h>

namespace inkveil {

namespace {

bool g_toTerminal = false;

int priority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return LOG_DEBUG;
    case QtInfoMsg:
        return LOG_INFO;
    case QtWarningMsg:
        return LOG_WARNING;
    case QtCriticalMsg:
        return LOG_ERR;
    case QtFatalMsg:
        return LOG_CRIT;
    }
    return LOG_INFO;
}

void logMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = message.toUtf8();
    // "%s": a file name may hold a percent sign.
    ::syslog(priority(type), "%s", line.constData());
    if (g_toTerminal)
        std::fprintf(stderr, "%s\n",
                     qFormatLogMessage(type, context, message).toUtf8().constData());
}

// libtiff writes its warnings (unknown tags of camera TIFFs, mostly) straight to stderr unless
// told otherwise; a failed read or write is reported with the photo anyway.
void tiffMessage(const char *module, const char *format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    qCDebug(lcImageIo, "libtiff: %s: %s", module ? module : "", text);
}

} // namespace

void SystemLog::install(bool toTerminal)
{
    g_toTerminal = toTerminal;
    // The identity is kept by pointer: a string literal outlives every call.
    ::openlog("inkveil", LOG_PID, LOG_USER);
    qInstallMessageHandler(logMessage);
    TIFFSetWarningHandler(tiffMessage);
    TIFFSetErrorHandler(tiffMessage);
}

bool SystemLog::terminalRequested()
{
    return !qEnvironmentVariableIsEmpty("QT_LOGGING_RULES");
}

} // namespace inkveil
