// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/MarkCommand.h"

#include "base/Printable.h"
#include "batch/RunReport.h"
#include "cli/BatchCommand.h"
#include "mark/MarkDetector.h"
#include "mark/MarkKey.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace inkveil {

namespace {

QByteArray reportLine(const QString &path, const Result<MarkFinding> &finding)
{
    QJsonObject object;
    object.insert(QStringLiteral("path"), path);
    if (!finding) {
        object.insert(QStringLiteral("found"), QJsonValue::Null);
        object.insert(QStringLiteral("message"), finding.reason());
    } else {
        object.insert(QStringLiteral("found"), finding->found);
        const bool found = finding->found;
        object.insert(QStringLiteral("mark"), found
                                                  ? QJsonValue(QString::number(finding->payload.id))
                                                  : QJsonValue(QJsonValue::Null));
        object.insert(QStringLiteral("serial"), found ? QJsonValue(qint64(finding->payload.serial))
                                                      : QJsonValue(QJsonValue::Null));
        object.insert(QStringLiteral("confidence"),
                      found ? QJsonValue(std::round(finding->confidence * 1000) / 1000)
                            : QJsonValue(QJsonValue::Null));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

int MarkCommand::detect(const QStringList &paths, const QString &keyPath, const QString &reportPath,
                        QTextStream &out, QTextStream &err)
{
    const Result<MarkKey> key = MarkKey::load(keyPath.isEmpty() ? MarkKey::defaultPath() : keyPath);
    if (!key) {
        err << "inkveil-batch: Can't use the mark key: " << printable(key.reason()) << '\n';
        return BatchCommand::UsageError;
    }
    RunReport report;
    if (!reportPath.isEmpty()) {
        if (const Status opened = report.open(reportPath, paths); !opened) {
            err << "inkveil-batch: Can't write the report " << printable(reportPath) << ": "
                << printable(opened.reason()) << '\n';
            return BatchCommand::UsageError;
        }
    }
    const MarkDetector detector(*key);
    bool allRead = true;
    for (const QString &path : paths) {
        const Result<MarkFinding> finding = detector.findInFile(path);
        out << printable(path) << ": ";
        if (!finding)
            out << "can't be read: " << printable(finding.reason()) << '\n';
        else if (finding->found)
            out << "mark " << finding->payload.id << " serial " << finding->payload.serial << '\n';
        else
            out << "no mark\n";
        out.flush();
        allRead = allRead && finding.ok();
        if (report.isOpen())
            report.append(reportLine(path, finding));
    }
    if (const QString failure = report.failure(); !failure.isNull()) {
        err << "inkveil-batch: Can't write the report " << printable(reportPath) << ": "
            << printable(failure) << '\n';
        return BatchCommand::SomeFailed;
    }
    return allRead ? BatchCommand::Success : BatchCommand::SomeFailed;
}

} // namespace inkveil
