#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <memory>

// One source photo of the batch. Two work files are the same file when their paths are equal
// as text.
class WorkFile
{
public:
    explicit WorkFile(const QString &filePath);

    QString fileName() const { return m_fileName; }
    QString filePath() const { return m_filePath; }
    QSize originalSize() const { return m_originalSize; }
    void setOriginalSize(QSize size) { m_originalSize = size; }

    bool operator==(const WorkFile &other) const { return m_filePath == other.m_filePath; }

private:
    QString m_fileName;
    QString m_filePath;
    QSize m_originalSize{0, 0};
};

using WorkFileList = QList<std::shared_ptr<WorkFile>>;
