// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/RunReport.h"

#include "base/RegularFile.h"
#include "base/SafeWrite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inkveil {

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The open report, checked before it is emptied: a regular file that is none of the inputs.
Status checkOpened(int fd, const QString &path, const QStringList &inputs)
{
    struct stat opened
    {
    };
    if (::fstat(fd, &opened) != 0)
        return Error{SafeWrite::errorText(errno), errno};
    if (!S_ISREG(opened.st_mode)) {
        const QString reason = RegularFile::notRegularReason(path);
        return Error{reason.isEmpty() ? QStringLiteral("It is not a regular file.") : reason};
    }
    for (const QString &input : inputs) {
        struct stat info
        {
        };
        if (::stat(RegularFile::encodeName(input).constData(), &info) == 0 &&
            sameFile(info, opened))
            return Error{QStringLiteral("It would replace %1, which this run reads.").arg(input)};
    }
    return {};
}

} // namespace

Status RunReport::open(const QString &path, const QStringList &inputs)
{
    // Looked at before opening, for the reason; the open descriptor is checked again, so that
    // nothing swapped in between is written.
    if (const QString reason = RegularFile::notRegularReason(path); !reason.isNull())
        return Error{reason};
    // Not truncated on opening: the file is emptied only once known to be no input.
    const int fd = ::open(RegularFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return Error{SafeWrite::errorText(errno), errno};
    Status checked = checkOpened(fd, path, inputs);
    if (checked && ::ftruncate(fd, 0) != 0)
        checked = Error{SafeWrite::errorText(errno), errno};
    if (!checked) {
        ::close(fd);
        return checked;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_file.setFileName(path);
    if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Error{m_file.errorString()};
    }
    return {};
}

bool RunReport::add(const QString &source, const QString &output,
                    const BatchEngine::FileResult &result)
{
    return append(line(source, output, result));
}

bool RunReport::append(const QByteArray &object)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray text = object + '\n';
    // One write a line, straight to the system (no buffer): a killed run loses at most the line
    // of a photo that had not ended.
    const Status written = SafeWrite::writeAll(m_file.handle(), text);
    if (written)
        return true;
    if (m_failure.isNull())
        m_failure = written.reason();
    // The lines after a lost one would leave a hole the reader can't see.
    m_file.close();
    return false;
}

QByteArray RunReport::line(const QString &source, const QString &output,
                           const BatchEngine::FileResult &result)
{
    QJsonObject object;
    object.insert(QStringLiteral("source"), source);
    object.insert(QStringLiteral("output"),
                  result.outputPath.isEmpty() ? output : result.outputPath);
    object.insert(QStringLiteral("thumbnail"), result.thumbnailPath.isEmpty()
                                                   ? QJsonValue(QJsonValue::Null)
                                                   : QJsonValue(result.thumbnailPath));
    object.insert(QStringLiteral("status"), statusName(result.status));
    object.insert(QStringLiteral("message"),
                  result.status == BatchEngine::Status::Written ? QString() : result.failure);
    object.insert(QStringLiteral("ms"), result.ms);
    // Only where it happened, so that the lines of other photos read as they always have.
    if (result.shrunk)
        object.insert(QStringLiteral("shrunk"), true);
    // The size written, which resizing may have changed from the photo's.
    if (result.status == BatchEngine::Status::Written && result.outputSize.isValid()) {
        object.insert(QStringLiteral("width"), result.outputSize.width());
        object.insert(QStringLiteral("height"), result.outputSize.height());
    }
    // Where fitting to the photo moved or recoloured a watermark: each used one's position and
    // text colour ("#rrggbb", null for a picture), in list order.
    if (!result.choices.isEmpty()) {
        QJsonArray watermarks;
        for (const AutoChoice &choice : result.choices) {
            QJsonObject entry{{QStringLiteral("position"), choice.position},
                              {QStringLiteral("textColor"),
                               choice.textColor.isValid() ? QJsonValue(choice.textColor.name())
                                                          : QJsonValue(QJsonValue::Null)}};
            // Which of a picture's two variants went on; absent where there was no choice.
            if (choice.variant >= 0)
                entry.insert(QStringLiteral("variant"), choice.variant == 1
                                                            ? QStringLiteral("second")
                                                            : QStringLiteral("first"));
            watermarks.append(entry);
        }
        object.insert(QStringLiteral("watermarks"), watermarks);
    }
    // Only marked outputs have a serial: reports of runs without the mark read as before.
    if (result.markSerial >= 0)
        object.insert(QStringLiteral("serial"), result.markSerial);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString RunReport::statusName(BatchEngine::Status status)
{
    switch (status) {
    case BatchEngine::Status::Written:
        return QStringLiteral("written");
    case BatchEngine::Status::Failed:
        return QStringLiteral("failed");
    case BatchEngine::Status::Skipped:
        return QStringLiteral("skipped");
    }
    return {};
}

} // namespace inkveil
