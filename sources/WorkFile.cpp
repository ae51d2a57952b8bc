#include "sources/WorkFile.h"

#include <QFileInfo>

WorkFile::WorkFile(const QString &filePath)
    : m_fileName(QFileInfo(filePath).fileName())
    , m_filePath(filePath)
{}
