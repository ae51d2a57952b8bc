// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/RunReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace inkveil {

Status RunReport::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Error{m_file.errorString()};
    return {};
}

bool RunReport::add(const QString &source, const QString &output,
                    const BatchEngine::FileResult &result)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray text = line(source, output, result) + '\n';
    // One write a line, handed to the system at once: a killed run loses at most the line of a
    // photo that had not ended.
    return m_file.write(text) == text.size() && m_file.flush();
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
