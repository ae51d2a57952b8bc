// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "imageio/ExifData.h"

#include <QList>
#include <QSizeF>
#include <QString>

#include <memory>

namespace inkveil {

// One source photo of the batch. Two work files are the same file when their paths are equal
// as text (no normalisation: /a/b.jpg and /a/./b.jpg differ). Its EXIF values are read once,
// on first need.
class WorkFile
{
public:
    WorkFile() = default;
    explicit WorkFile(const QString &filePath);

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &filePath) { m_filePath = filePath; }
    // Size of the photo at its last compositing; 0 x 0 before.
    QSizeF originalSize() const { return m_originalSize; }
    void setOriginalSize(QSizeF size) { m_originalSize = size; }
    const ExifData &exifData() const { return m_exifData; }
    ExifData &exifData() { return m_exifData; }
    bool exifParsed() const { return m_exifParsed; }
    void setExifParsed(bool parsed) { m_exifParsed = parsed; }

    // The EXIF values, read from the file the first time they are asked for. A file without
    // EXIF (or unreadable) keeps the empty record and is not read again.
    const ExifData &readExif();

    // Why the photo can't be read or is damaged, as found when it was added to the batch (a look
    // at its header and its end); empty when it looked whole. Not stored.
    QString problem() const { return m_problem; }
    void setProblem(const QString &problem) { m_problem = problem; }

    // "path - name", as the log shows a work file.
    QString description() const;

    bool operator==(const WorkFile &other) const { return m_filePath == other.m_filePath; }

private:
    QString m_fileName{QLatin1String("")};
    QString m_filePath{QLatin1String("")};
    QSizeF m_originalSize{0, 0};
    ExifData m_exifData;
    bool m_exifParsed = false;
    QString m_problem;
};

using WorkFileList = QList<std::shared_ptr<WorkFile>>;

} // namespace inkveil
