// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "output/SummaryText.h"

#include "base/RegularFile.h"

#include "base/Printable.h"
#include "imageio/ImageFormat.h"
#include "imageio/ImageToolkit.h"
#include "imageio/MetadataCopier.h"
#include "output/OutputPlan.h"
#include "render/Stamper.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace inkveil {

SummaryText::SummaryText(const WorkFileList &workFiles, const OutputOptions &options)
{
    const qsizetype count = workFiles.size();
    m_source = (count == 1 ? QStringLiteral("%1 file") : QStringLiteral("%1 files")).arg(count);

    m_tofolder = options.folder();

    m_fileformat = formatHasQuality(options.fileFormat())
                       ? QStringLiteral("%1, quality %2%")
                             .arg(options.fileFormat(), QString::number(options.quality()))
                       : options.fileFormat();
    // Camera data is asked for but the format has nowhere to put it.
    if (options.metadata() != OutputOptions::NoMetadata &&
        !MetadataCopier::formatCarriesMetadata(options.fileFormat()))
        m_fileformat += QStringLiteral(" (no camera data: the format can't hold it)");

    m_resize = options.resize() ? QStringLiteral("Yes, ") + options.resizeRule().description()
                                : QStringLiteral("No");

    // Any base but 0 reads as the custom name. (The pane offers only 0 and 1.)
    const QString base = options.baseIndex() != OutputOptions::SourceName
                             ? QStringLiteral("custom (%1)").arg(options.custom())
                             : QStringLiteral("filename");
    const QString counter = options.useCounter()
                                ? QStringLiteral(", plus %1-digit counter").arg(options.digits())
                                : QString();
    const QString postfix = options.usePostfix()
                                ? QStringLiteral(", plus postfix (%1)").arg(options.postfix())
                                : QString();
    m_filename = QStringLiteral("Based on ") + base + counter + postfix;

    // The wizard never shows the summary without photos; the two names then stay empty.
    if (!workFiles.isEmpty()) {
        m_originalname = workFiles.first()->fileName();
        m_samplename = options.buildFileName(m_originalname);
    }

    if (!workFiles.isEmpty())
        m_outputsize = outputSize(workFiles.first()->filePath(), options);
    m_metadata = metadataText(options.metadata());
    m_existing = existingText(options.existing());

    const int edge = OutputOptions::thumbnailDim(options.fitIndex());
    m_thumbnails = options.createThumbnails()
                       ? QStringLiteral("Yes, use %1 as source, fit into %2 px. * %3 px.")
                             .arg(options.sourceIndex() == OutputOptions::OriginalImage
                                      ? QStringLiteral("original image")
                                      : QStringLiteral("watermarked image"))
                             .arg(edge)
                             .arg(edge)
                       : QStringLiteral("No");
}

QString SummaryText::outputSize(const QString &path, const OutputOptions &options)
{
    const Result<ImageToolkit::Header> header = ImageToolkit::readHeader(path);
    if (!header || header->uprightSize.isEmpty())
        return {};
    const auto pixels = [](QSize size) {
        return QStringLiteral("%1 × %2 px.").arg(size.width()).arg(size.height());
    };
    const QSize photo = header->uprightSize;
    if (!options.resize())
        return pixels(photo);
    const QSize written = options.resizeRule().outputSize(photo);
    if (!written.isValid())
        return pixels(photo) + QStringLiteral(" → none: the resize gives no size, and the "
                                              "photos fail.");
    return written == photo ? pixels(photo)
                            : pixels(photo) + QStringLiteral(" → ") + pixels(written);
}

QString SummaryText::metadataText(const OutputOptions::Metadata metadata)
{
    switch (metadata) {
    case OutputOptions::PrivateMetadata:
        return QStringLiteral("Keep all but location and serial numbers");
    case OutputOptions::NoMetadata:
        return QStringLiteral("Remove all");
    default:
        return QStringLiteral("Keep all");
    }
}

QString SummaryText::existingText(const OutputOptions::Existing existing)
{
    switch (existing) {
    case OutputOptions::SkipExisting:
        return QStringLiteral("Skipped: the photo is not written");
    case OutputOptions::KeepBothExisting:
        return QStringLiteral("Kept: the new photo gets a name ending in -2, -3, …");
    default:
        return QStringLiteral("Replaced");
    }
}

QString SummaryText::sourcesKept(const int count, const QString &firstPath)
{
    const QString name = printable(QFileInfo(firstPath).fileName());
    return count == 1
               ? QStringLiteral("1 photo will be skipped: its output would replace it, and "
                                "sources are never replaced (%1).")
                     .arg(name)
               : QStringLiteral("%1 photos will be skipped: their outputs would replace them, "
                                "and sources are never replaced (the first: %2).")
                     .arg(count)
                     .arg(name);
}

bool SummaryText::formatHasQuality(const QString &format)
{
    const ImageFormatInfo *const kind = ImageFormats::find(format);
    return kind && kind->writable && kind->quality;
}

namespace {

// A second picture that can't be read leaves the first on every photo: noted as the first
// would be.
void appendSecondPictureNote(const Overlay &overlay, QStringList &texts)
{
    const QString path = overlay.altImagePath();
    if (!overlay.isImage() || !overlay.autoContrast() || path.isEmpty())
        return;
    const QFileInfo picture(path);
    if (picture.isFile() && picture.isReadable() && ImageToolkit::decodePicture(path).ok())
        return;
    QString text = QStringLiteral("The picture of watermark \u201c%1\u201d can't be read: %2")
                       .arg(printable(overlay.name()), printable(path));
    if (const QString kind = RegularFile::notRegularReason(path); !kind.isEmpty())
        text += QStringLiteral(": ") + kind;
    texts.append(text);
}

// The notes of watermark pictures that can't be read, and of watermarks that draw less than
// they hold.
void appendPictureNotes(const OverlayList &overlays, QStringList &texts)
{
    for (const auto &overlay : overlays) {
        if (!overlay->use())
            continue;
        // A picture that is not a readable file is only looked at, never opened (it may be a
        // pipe); one that is a file is read as the batch will read it.
        // A picture that was already missing when the watermarks were loaded has the
        // missing-image picture in its place, which would otherwise pass unnoticed.
        const QString path =
            overlay->missingFilePath().isEmpty() ? overlay->filePath() : overlay->missingFilePath();
        const QFileInfo picture(path);
        if (!path.isEmpty() &&
            (!overlay->missingFilePath().isEmpty() || !picture.isFile() || !picture.isReadable())) {
            QString text =
                QStringLiteral("The picture of watermark \u201c%1\u201d can't be read: %2")
                    .arg(printable(overlay->name()), printable(path));
            // A pipe or a device in its place says so; a missing file needs no more words.
            if (const QString kind = RegularFile::notRegularReason(path); !kind.isEmpty())
                text += QStringLiteral(": ") + kind;
            texts.append(text);
        } else if (const QString overlayProblem = Stamper::overlayProblem(*overlay);
                   !overlayProblem.isEmpty()) {
            texts.append(QStringLiteral("Watermark \u201c%1\u201d: %2")
                             .arg(printable(overlay->name()), printable(overlayProblem)));
        }
        appendSecondPictureNote(*overlay, texts);
    }
}

// Text watermarks in use whose text is blank: the others are drawn, these silently not.
void appendEmptyTextNotes(const OverlayList &overlays, QStringList &texts)
{
    for (const auto &overlay : overlays) {
        if (overlay->use() && !overlay->isImage() && overlay->text().trimmed().isEmpty())
            texts.append(QStringLiteral("Watermark \u201c%1\u201d has no text and won't show.")
                             .arg(printable(overlay->name())));
    }
}

// A folder the run can't write into at all: none chosen, or one that is missing and not to be
// made. The batch pane would say so only once started.
void appendFolderNote(const OutputOptions &options, QStringList &texts)
{
    if (options.folder().isEmpty())
        texts.append(QStringLiteral("No output folder is chosen. The run can't start."));
    else if (!options.isFolderSet())
        texts.append(QStringLiteral("The output folder %1 is not a full path. The run can't "
                                    "start.")
                         .arg(printable(options.folder())));
    else if (!options.folderCreate() && !QFileInfo(options.folder()).isDir())
        texts.append(QStringLiteral("The output folder %1 doesn't exist, and is not to be "
                                    "created: every photo will fail.")
                         .arg(printable(options.folder())));
}

// What becomes of content credentials: the outputs' signature, and the sources' own.
void appendCredentialsNotes(const OutputOptions &options, QStringList &texts)
{
    if (!options.signCredentials()) {
        if (options.metadata() != OutputOptions::KeepMetadata)
            texts.append(QStringLiteral("Sources' content credentials are left out, with the "
                                        "camera data."));
        return;
    }
    const std::optional<ImageFormat> format = ImageFormats::fromName(options.fileFormat());
    const bool inside = format == ImageFormat::Jpeg || format == ImageFormat::Png;
    QString text = QStringLiteral("Outputs are signed with content credentials by %1")
                       .arg(printable(QFileInfo(options.signCertificate()).fileName()));
    if (!options.signAuthor().isEmpty())
        text += QStringLiteral(", naming %1 as author").arg(printable(options.signAuthor()));
    text += inside ? QStringLiteral(".")
                   : QStringLiteral(", in a .c2pa file beside each: the format carries none.");
    texts.append(text + QStringLiteral(" Sources' own credentials that validate go into them "
                                       "as ingredients."));
}

} // namespace

QStringList SummaryText::warnings(const WorkFileList &workFiles, const OverlayList &overlays,
                                  const OutputOptions &options, const QList<int> *part)
{
    QStringList texts;
    // One sentence for one photo, another for several.
    const auto count = [&texts](int n, const QString &one, const QString &several) {
        if (n == 1)
            texts.append(one);
        else if (n > 1)
            texts.append(several.arg(n));
    };
    appendFolderNote(options, texts);
    const QString problem = options.nameProblem();
    if (!problem.isNull())
        texts.append(problem + QStringLiteral(" The run can't start."));
    else if (options.isFolderSet() && !workFiles.isEmpty()) {
        const OutputPlan whole(workFiles, options);
        const OutputPlan plan = part ? whole.part(*part) : whole;
        count(plan.collidedCount(),
              QStringLiteral("1 photo is renamed with \u201c-2\u201d: an earlier photo has its "
                             "name."),
              QStringLiteral("%1 photos are renamed with \u201c-2\u201d, \u201c-3\u201d, \u2026: "
                             "earlier photos have their names."));
        count(plan.replacedCount(),
              QStringLiteral("1 file already in the output folder will be replaced."),
              QStringLiteral("%1 files already in the output folder will be replaced."));
        count(plan.linkedCount(),
              QStringLiteral("1 photo can't be written: a symbolic link is in its place."),
              QStringLiteral("%1 photos can't be written: symbolic links are in their places."));
        count(plan.skippedCount(),
              QStringLiteral("1 photo will be skipped: a file of its name exists."),
              QStringLiteral("%1 photos will be skipped: files of their names exist."));
        const auto firstSource = std::find_if(plan.entries().cbegin(), plan.entries().cend(),
                                              [](const auto &entry) { return entry.source; });
        if (firstSource != plan.entries().cend())
            texts.append(sourcesKept(plan.sourceCount(), firstSource->sourcePath));
        count(plan.keptCount(),
              QStringLiteral("1 photo is renamed to keep the file of its name that exists."),
              QStringLiteral("%1 photos are renamed to keep the files of their names that "
                             "exist."));
    }
    QStringList damaged;
    for (const auto &file : workFiles) {
        if (!file->problem().isEmpty())
            damaged.append(QStringLiteral("%1 (%2)").arg(printable(file->fileName()),
                                                         printable(file->problem())));
    }
    if (damaged.size() == 1)
        texts.append(QStringLiteral("1 photo can't be read or is damaged, and fails: ") +
                     damaged.first());
    else if (damaged.size() > 1)
        texts.append(QStringLiteral("%1 photos can't be read or are damaged, and fail; the "
                                    "first: ")
                         .arg(damaged.size()) +
                     damaged.first());
    if (!overlays.isEmpty() &&
        std::none_of(overlays.begin(), overlays.end(),
                     [](const auto &overlay) { return Stamper::mayShow(*overlay); }))
        texts.append(QStringLiteral("No watermark will show: each is empty, turned off or can't "
                                    "be read. Photos without one are not written."));
    else
        appendEmptyTextNotes(overlays, texts);
    appendPictureNotes(overlays, texts);
    appendCredentialsNotes(options, texts);
    // The invisible mark.
    if (options.invisibleMark() && !options.markId())
        texts.append(QStringLiteral("The mark number must be a whole number from 0 to "
                                    "1099511627775. The run can't start."));
    else if (options.invisibleMark() &&
             ImageFormats::fromName(options.fileFormat()) == ImageFormat::Gif)
        texts.append(QStringLiteral("The outputs carry no invisible mark: a GIF's palette can't "
                                    "hold it."));
    return texts;
}

QStringList SummaryText::perPhoto(const OverlayList &overlays)
{
    QStringList placed;
    QStringList coloured;
    for (const auto &overlay : overlays) {
        if (!overlay->use())
            continue;
        const QString name = QStringLiteral("\"%1\"").arg(overlay->name());
        if (overlay->autoPlace() && !overlay->tile())
            placed.append(name);
        if (overlay->autoContrast() && !overlay->isImage())
            coloured.append(name);
    }
    QStringList sentences;
    if (!placed.isEmpty())
        sentences.append(QStringLiteral("Position varies per photo (the calmest allowed one): %1.")
                             .arg(placed.join(QStringLiteral(", "))));
    if (!coloured.isEmpty())
        sentences.append(QStringLiteral("Text colour varies per photo, for contrast: %1.")
                             .arg(coloured.join(QStringLiteral(", "))));
    return sentences;
}

} // namespace inkveil
