// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "output/OutputPlan.h"

#include "base/Paths.h"
#include "base/SafeWrite.h"

#include <QSet>

#include <algorithm>
#include <limits>

namespace inkveil {

const QString OutputPlan::SkippedMessage = QStringLiteral("Skipped: a file of that name exists.");

OutputPlan::OutputPlan(const WorkFileList &files, const OutputOptions &options)
{
    const QString folder = options.folder().endsWith(QLatin1Char('/'))
                               ? options.folder()
                               : options.folder() + QLatin1Char('/');
    const QString thumbs = folder + QLatin1String("thumbs/");
    const bool thumbnails =
        options.createThumbnails() && OutputOptions::thumbnailDim(options.fitIndex()) > 0;
    const QString extension = QLatin1Char('.') + options.fileFormat();
    const int mode = options.existing();
    const auto onDisk = [&](const QString &name) {
        return SafeWrite::entryExists(folder + name) ||
               (thumbnails && SafeWrite::entryExists(thumbs + name));
    };

    QSet<QString> taken;
    taken.reserve(files.size());
    m_entries.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        Entry entry;
        entry.sourcePath = files.at(i)->filePath();
        // Held at the largest int rather than overflowing on a huge start value.
        const int counter = static_cast<int>(
            std::min<qint64>(qint64(options.lastValue()) + i, std::numeric_limits<int>::max()));
        const QString first = options.buildFileName(files.at(i)->fileName(), counter);
        // Every built name ends in the extension; "-N" goes before it.
        const QString stem = first.endsWith(extension) ? first.chopped(extension.size()) : first;
        QString name = first;
        for (qint64 n = 2;; ++n) {
            if (taken.contains(name)) {
                entry.collided = true;
            } else {
                entry.exists = onDisk(name);
                if (!entry.exists || mode != OutputOptions::KeepBothExisting)
                    break;
                entry.keptExisting = true;
            }
            name = stem + QLatin1Char('-') + QString::number(n) +
                   (first.endsWith(extension) ? extension : QString());
        }
        taken.insert(name);
        entry.fileName = name;
        entry.outputPath = folder + name;
        if (thumbnails)
            entry.thumbnailPath = thumbs + name;
        entry.skip = entry.exists && mode == OutputOptions::SkipExisting;
        m_entries.append(entry);
    }
    markSources(files);
}

// Only paths that exist can be a source; the sources are resolved once, and only if one does.
void OutputPlan::markSources(const WorkFileList &files)
{
    QSet<QString> sources;
    for (Entry &entry : m_entries) {
        if (!entry.exists || entry.skip)
            continue;
        if (sources.isEmpty()) {
            sources.reserve(files.size());
            for (const auto &file : files)
                sources.insert(Paths::resolved(file->filePath()));
        }
        entry.source = sources.contains(Paths::resolved(entry.outputPath)) ||
                       (!entry.thumbnailPath.isEmpty() &&
                        sources.contains(Paths::resolved(entry.thumbnailPath)));
    }
}

int OutputPlan::collidedCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(),
                                          [](const Entry &e) { return e.collided; }));
}

int OutputPlan::replacedCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) {
        return e.exists && !e.skip && !e.source;
    }));
}

int OutputPlan::skippedCount() const
{
    return static_cast<int>(
        std::count_if(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) { return e.skip; }));
}

int OutputPlan::keptCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(),
                                          [](const Entry &e) { return e.keptExisting; }));
}

int OutputPlan::sourceCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(),
                                          [](const Entry &e) { return e.source; }));
}

} // namespace inkveil
