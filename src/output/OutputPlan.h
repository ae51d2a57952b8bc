// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "output/OutputOptions.h"
#include "sources/WorkFile.h"

#include <QList>
#include <QString>

namespace inkveil {

// Every output and thumbnail path of a batch, decided before the first write, so that a run,
// a dry run and the summary agree. Within a batch no photo takes a name an earlier photo took:
// the later one gets "-2", "-3", ... before the extension, the first such name no earlier
// photo took, and its thumbnail follows. Names are compared exactly, as the file system does.
// Files already in the output folder are replaced, skipped, or (keep both) stepped around with
// the same scheme. The whole batch is always planned, also when a run processes part of it.
class OutputPlan
{
public:
    struct Entry
    {
        QString sourcePath;
        QString builtName;     // the output's file name as the options build it, before "-N"
        QString fileName;      // the output's file name, after any "-2"
        QString outputPath;    // the output folder + fileName
        QString thumbnailPath; // the thumbs folder + fileName; empty when no thumbnail is made
        // The counter value the name was built with; also the serial of the output's mark.
        int counterValue = 0;
        // Took a "-N" name because an earlier photo of the batch had its name.
        bool collided = false;
        // Took a "-N" name to keep a file already in the output folder (keep both).
        bool keptExisting = false;
        // Something (a file, a folder, a link) stands at its output or thumbnail path.
        bool exists = false;
        // Not written: a file of its name exists and the options say skip.
        bool skip = false;
        // To be replaced, but a symbolic link stands at its output path: the photo fails.
        bool linked = false;
        // Not written: its output or thumbnail would replace a photo of the batch (the photos'
        // own folder, format and names), and sources are never replaced.
        bool source = false;
    };

    OutputPlan() = default;
    // Plans the photos in order, photo i numbered with the options' counter value + i. Looks
    // at the output folder; creates nothing.
    OutputPlan(const WorkFileList &files, const OutputOptions &options);

    const QList<Entry> &entries() const { return m_entries; }
    // Photos renamed because an earlier photo of the batch had their name.
    int collidedCount() const;
    // The entries of the photos at `indices` only (a part of the batch), as planned for all.
    OutputPlan part(const QList<int> &indices) const;

    // Files already in the output folder that the run will replace.
    int replacedCount() const;
    // Photos that will fail because a symbolic link stands where they would replace a file.
    int linkedCount() const;
    // Photos skipped because a file of their name exists.
    int skippedCount() const;
    // Photos renamed to keep a file already in the output folder.
    int keptCount() const;
    // Photos not written because their output would replace a photo of the batch.
    int sourceCount() const;

    // The name with "-N" before its extension (the format's, with its dot), or at its end.
    static QString numberedName(const QString &builtName, const QString &extension, qint64 n);

    // The skip message of the run and the dry run.
    static const QString SkippedMessage;

private:
    void markSources(const WorkFileList &files);

    QList<Entry> m_entries;
};

} // namespace inkveil
