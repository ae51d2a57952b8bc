// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "batch/BatchEngine.h"

#include <QFile>
#include <QString>
#include <QStringList>

namespace inkveil {

// What a run did, one JSON object a line (JSON Lines) for each photo as it ends: its source, the
// output written (or planned), the thumbnail (null when none), its status ("written", "failed",
// "skipped"), the reason when not written, the milliseconds it took and, for a photo written,
// its "width" and "height" in pixels, and the "serial" of its invisible mark when it carries one.
// Each line is flushed at once, so a run that is killed leaves a file whose every line is whole.
class RunReport
{
public:
    // Creates the file, or empties the regular file at path; fails with the reason for anything
    // else (a named pipe would block the run, a device would swallow the lines) and for any of
    // `inputs`, the files the run reads, which emptying would destroy. Never blocks.
    Status open(const QString &path, const QStringList &inputs = {});
    bool isOpen() const { return m_file.isOpen(); }
    // Appends the line of one photo; `output` is the path the photo was to be written to.
    bool add(const QString &source, const QString &output, const BatchEngine::FileResult &result);
    // Appends a line of another kind (a compact JSON object, without its line end).
    bool append(const QByteArray &object);
    // Why a line could not be written, the first time it failed; or a null string.
    QString failure() const { return m_failure; }

    // The line's object, without its line end.
    static QByteArray line(const QString &source, const QString &output,
                           const BatchEngine::FileResult &result);
    // "written", "failed" or "skipped".
    static QString statusName(BatchEngine::Status status);

private:
    QFile m_file;
    QString m_failure;
};

} // namespace inkveil
