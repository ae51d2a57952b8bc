// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sources/WorkFile.h"

#include "imageio/ExifParser.h"

namespace inkveil {

namespace {

// The text after the last "/", a trailing "/" not counted.
QString lastPathComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

WorkFile::WorkFile(const QString &filePath)
    : m_fileName(lastPathComponent(filePath))
    , m_filePath(filePath)
{}

const ExifData &WorkFile::readExif()
{
    if (!m_exifParsed) {
        // A work file without a path (the empty one a fresh Stamper holds) has nothing to read.
        // A photo that can't be opened has no camera data: its placeholders stay empty, and
        // reading its pixels reports the failure.
        if (!m_filePath.isEmpty())
            (void)ExifParser::parseImage(m_filePath, m_exifData);
        m_exifParsed = true;
    }
    return m_exifData;
}

QString WorkFile::description() const
{
    return m_filePath + QLatin1String(" - ") + m_fileName;
}

} // namespace inkveil
