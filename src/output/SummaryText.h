// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "output/OutputOptions.h"
#include "sources/WorkFile.h"
#include "watermarks/Overlay.h"

#include <QString>

namespace inkveil {

// The sentences that describe a job before it runs: how many photos, where the results go, in
// which format, whether they are resized, how they are named (with the first photo's name and
// the output name built for it) and whether thumbnails are made. Built from the model alone.
class SummaryText
{
public:
    SummaryText(const WorkFileList &workFiles, const OutputOptions &options);

    // "1 file", "3 files" (also "0 files").
    QString source() const { return m_source; }
    // The output folder as set.
    QString tofolder() const { return m_tofolder; }
    // "jpeg, quality 90%", or the bare format name for formats without a quality; "gif (no
    // camera data: the format can't hold it)" when camera data is kept but the format has none.
    QString fileformat() const { return m_fileformat; }
    // "Yes, fit into 640 px. * 480 px." or "No"; the other modes as "Yes, long edge 2048 px.",
    // with ", never enlarged" when so (ResizeRule::description()).
    QString resize() const { return m_resize; }
    // The first photo's pixel size, and the size written when resizing changes it:
    // "6000 × 4000 px. → 2048 × 1365 px."; empty without photos or when it can't be read.
    QString outputsize() const { return m_outputsize; }
    // The camera data the outputs keep, in the output pane's words: "Keep all".
    QString metadata() const { return m_metadata; }
    // What a file already in the output folder under an output's name becomes: "Replaced".
    QString existing() const { return m_existing; }
    // "Based on filename", "Based on custom (image), plus 5-digit counter, plus postfix (_iv)".
    QString filename() const { return m_filename; }
    // The first photo's file name; empty without photos.
    QString originalname() const { return m_originalname; }
    // The output name built for the first photo, counter at its start value; empty without
    // photos.
    QString samplename() const { return m_samplename; }
    // "Yes, use original image as source, fit into 64 px. * 64 px." or "No".
    QString thumbnails() const { return m_thumbnails; }

    // What to know before starting, one sentence each, empty when all is well: names that would
    // leave the output folder, photos renamed because an earlier photo has their name, files
    // already in the output folder to be replaced, skipped or kept, photos skipped because their
    // outputs would replace them, photos found unreadable or damaged when they were added,
    // watermark pictures that can't be read, watermarks none of which would show, text
    // watermarks without text, a missing output folder, and a mark number that is none or a
    // format that can't carry the invisible mark. Looks at
    // the output folder and the pictures; changes nothing. With `part`, the counts are of the
    // photos at those indices only (a part of the batch), planned as the whole batch is.
    static QStringList warnings(const WorkFileList &workFiles, const OverlayList &overlays,
                                const OutputOptions &options, const QList<int> *part = nullptr);

    // Which watermarks are placed or coloured per photo, one sentence each; empty when none is.
    static QStringList perPhoto(const OverlayList &overlays);

    // That `count` photos, the first at firstPath, are skipped because their outputs would
    // replace them; the output pane says it too.
    static QString sourcesKept(int count, const QString &firstPath);

    // The photo's pixel size, and the size written when resizing changes it:
    // "6000 × 4000 px. → 2048 × 1365 px."; empty when the photo can't be read.
    static QString outputSize(const QString &path, const OutputOptions &options);

    // Whether the format of this name is written with a quality setting.
    static bool formatHasQuality(const QString &format);

private:
    static QString metadataText(OutputOptions::Metadata metadata);
    static QString existingText(OutputOptions::Existing existing);

    QString m_source;
    QString m_tofolder;
    QString m_fileformat;
    QString m_resize;
    QString m_filename;
    QString m_originalname;
    QString m_samplename;
    QString m_thumbnails;
    QString m_outputsize;
    QString m_metadata;
    QString m_existing;
};

} // namespace inkveil
