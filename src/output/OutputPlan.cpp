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
            name = numberedName(first, extension, n);
        }
        taken.insert(name);
        entry.builtName = first;
        entry.counterValue = counter;
        entry.fileName = name;
        entry.outputPath = folder + name;
        if (thumbnails)
            entry.thumbnailPath = thumbs + name;
        entry.skip = entry.exists && mode == OutputOptions::SkipExisting;
        entry.linked = entry.exists && mode == OutputOptions::ReplaceExisting &&
                       SafeWrite::isSymLink(entry.outputPath);
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

QString OutputPlan::numberedName(const QString &builtName, const QString &extension, qint64 n)
{
    // Every built name ends in the extension; "-N" goes before it.
    const bool hasExtension = builtName.endsWith(extension);
    const QString stem = hasExtension ? builtName.chopped(extension.size()) : builtName;
    return stem + QLatin1Char('-') + QString::number(n) + (hasExtension ? extension : QString());
}

int OutputPlan::collidedCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(),
                                          [](const Entry &e) { return e.collided; }));
}

OutputPlan OutputPlan::part(const QList<int> &indices) const
{
    OutputPlan part;
    for (const int index : indices) {
        if (index >= 0 && index < m_entries.size())
            part.m_entries.append(m_entries.at(index));
    }
    return part;
}

int OutputPlan::replacedCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) {
        return e.exists && !e.skip && !e.source && !e.linked;
    }));
}

int OutputPlan::linkedCount() const
{
    return static_cast<int>(std::count_if(m_entries.cbegin(), m_entries.cend(),
                                          [](const Entry &e) { return e.linked && !e.source; }));
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
