#include "output/SummaryText.h"

#include "render/MetadataCopier.h"

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
    if (options.metadata() != static_cast<int>(MetadataCopier::Mode::None) &&
        !MetadataCopier::formatCarriesMetadata(options.fileFormat()))
        m_fileformat += QStringLiteral(" (no camera data: the format can't hold it)");

    m_resize = options.resize() ? QStringLiteral("Yes, fit into %1 px. * %2 px.")
                                      .arg(options.width())
                                      .arg(options.height())
                                : QStringLiteral("No");

    // Any base but 0 reads as the custom name. (The pane offers only 0 and 1.)
    const QString base = options.baseIndex() != 0
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

    const int edge = OutputOptions::thumbnailDim(options.fitIndex());
    m_thumbnails = options.createThumbnails()
                       ? QStringLiteral("Yes, use %1 as source, fit into %2 px. * %3 px.")
                             .arg(options.sourceIndex() == 0 ? QStringLiteral("original image")
                                                             : QStringLiteral("watermarked image"))
                             .arg(edge)
                             .arg(edge)
                       : QStringLiteral("No");
}

bool SummaryText::formatHasQuality(const QString &format)
{
    return format == QLatin1String("jpeg") || format == QLatin1String("jpg");
}
