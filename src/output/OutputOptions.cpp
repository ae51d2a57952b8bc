// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "output/OutputOptions.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace inkveil {

const QString OutputOptions::ClassName = QStringLiteral("OutputOptions");

namespace {

const std::array<ArchiveKey<OutputOptions>, 19> &archiveTable()
{
    static const std::array<ArchiveKey<OutputOptions>, 19> table{{
        {"folder", ArchiveKind::String,
         [](const OutputOptions &o) { return QVariant::fromValue(o.folder()); },
         [](OutputOptions &o, const QVariant &v) { o.setFolder(v.toString()); }},
        {"folderCreate", ArchiveKind::Bool,
         [](const OutputOptions &o) { return QVariant::fromValue(o.folderCreate()); },
         [](OutputOptions &o, const QVariant &v) { o.setFolderCreate(v.toBool()); }},
        {"fileFormat", ArchiveKind::String,
         [](const OutputOptions &o) { return QVariant::fromValue(o.fileFormat()); },
         [](OutputOptions &o, const QVariant &v) { o.setFileFormat(v.toString()); }},
        {"quality", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.quality()); },
         [](OutputOptions &o, const QVariant &v) { o.setQuality(v.toInt()); }},
        {"resize", ArchiveKind::Bool,
         [](const OutputOptions &o) { return QVariant::fromValue(o.resize()); },
         [](OutputOptions &o, const QVariant &v) { o.setResize(v.toBool()); }},
        {"width", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.width()); },
         [](OutputOptions &o, const QVariant &v) { o.setWidth(v.toInt()); }},
        {"height", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.height()); },
         [](OutputOptions &o, const QVariant &v) { o.setHeight(v.toInt()); }},
        {"baseIndex", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.baseIndex()); },
         [](OutputOptions &o, const QVariant &v) { o.setBaseIndex(v.toInt()); }},
        {"custom", ArchiveKind::String,
         [](const OutputOptions &o) { return QVariant::fromValue(o.custom()); },
         [](OutputOptions &o, const QVariant &v) { o.setCustom(v.toString()); }},
        {"useCounter", ArchiveKind::Bool,
         [](const OutputOptions &o) { return QVariant::fromValue(o.useCounter()); },
         [](OutputOptions &o, const QVariant &v) { o.setUseCounter(v.toBool()); }},
        {"digits", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.digits()); },
         [](OutputOptions &o, const QVariant &v) { o.setDigits(v.toInt()); }},
        {"lastValue", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.lastValue()); },
         [](OutputOptions &o, const QVariant &v) { o.setLastValue(v.toInt()); }},
        {"usePostfix", ArchiveKind::Bool,
         [](const OutputOptions &o) { return QVariant::fromValue(o.usePostfix()); },
         [](OutputOptions &o, const QVariant &v) { o.setUsePostfix(v.toBool()); }},
        {"postfix", ArchiveKind::String,
         [](const OutputOptions &o) { return QVariant::fromValue(o.postfix()); },
         [](OutputOptions &o, const QVariant &v) { o.setPostfix(v.toString()); }},
        {"createThumbnails", ArchiveKind::Bool,
         [](const OutputOptions &o) { return QVariant::fromValue(o.createThumbnails()); },
         [](OutputOptions &o, const QVariant &v) { o.setCreateThumbnails(v.toBool()); }},
        {"fitIndex", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.fitIndex()); },
         [](OutputOptions &o, const QVariant &v) { o.setFitIndex(v.toInt()); }},
        {"sourceIndex", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.sourceIndex()); },
         [](OutputOptions &o, const QVariant &v) { o.setSourceIndex(v.toInt()); }},
        // Optional: an older state file without it replaces, as before.
        {"existing", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.existing()); },
         [](OutputOptions &o, const QVariant &v) { o.setExisting(v.toInt()); }},
        {"metadata", ArchiveKind::Int,
         [](const OutputOptions &o) { return QVariant::fromValue(o.metadata()); },
         [](OutputOptions &o, const QVariant &v) { o.setMetadata(v.toInt()); }},
    }};
    return table;
}

// Makes the last level of a folder when nothing stands at its path. Best effort: a missing
// parent or a refusal shows up later as a failed write.
void createFolderIfMissing(const QString &folder)
{
    if (!QFileInfo::exists(folder))
        QDir().mkdir(folder);
}

} // namespace

OutputOptions::OutputOptions(QObject *parent)
    : QObject(parent)
{}

void OutputOptions::setFolder(const QString &folder)
{
    if (folder.isNull() == m_folder.isNull() && folder == m_folder)
        return;
    m_folder = folder;
    Q_EMIT folderChanged();
}

void OutputOptions::setFolderCreate(bool folderCreate)
{
    if (folderCreate == m_folderCreate)
        return;
    m_folderCreate = folderCreate;
    Q_EMIT folderCreateChanged();
}

void OutputOptions::setFileFormat(const QString &fileFormat)
{
    if (fileFormat.isNull() == m_fileFormat.isNull() && fileFormat == m_fileFormat)
        return;
    m_fileFormat = fileFormat;
    Q_EMIT fileFormatChanged();
}

void OutputOptions::setQuality(int quality)
{
    if (quality == m_quality)
        return;
    m_quality = quality;
    Q_EMIT qualityChanged();
}

void OutputOptions::setResize(bool resize)
{
    if (resize == m_resize)
        return;
    m_resize = resize;
    Q_EMIT resizeChanged();
}

void OutputOptions::setWidth(int width)
{
    if (width == m_width)
        return;
    m_width = width;
    Q_EMIT widthChanged();
}

void OutputOptions::setHeight(int height)
{
    if (height == m_height)
        return;
    m_height = height;
    Q_EMIT heightChanged();
}

void OutputOptions::setBaseIndex(int baseIndex)
{
    if (baseIndex == m_baseIndex)
        return;
    m_baseIndex = baseIndex;
    Q_EMIT baseIndexChanged();
}

void OutputOptions::setCustom(const QString &custom)
{
    // Never null: a null value is stored as the empty string.
    const QString value = custom.isNull() ? QLatin1String("") : custom;
    if (value.isNull() == m_custom.isNull() && value == m_custom)
        return;
    m_custom = value;
    Q_EMIT customChanged();
}

void OutputOptions::setUseCounter(bool useCounter)
{
    if (useCounter == m_useCounter)
        return;
    m_useCounter = useCounter;
    Q_EMIT useCounterChanged();
}

void OutputOptions::setDigits(int digits)
{
    if (digits == m_digits)
        return;
    m_digits = digits;
    Q_EMIT digitsChanged();
}

void OutputOptions::setLastValue(int lastValue)
{
    if (lastValue == m_lastValue)
        return;
    m_lastValue = lastValue;
    Q_EMIT lastValueChanged();
}

void OutputOptions::setUsePostfix(bool usePostfix)
{
    if (usePostfix == m_usePostfix)
        return;
    m_usePostfix = usePostfix;
    Q_EMIT usePostfixChanged();
}

void OutputOptions::setPostfix(const QString &postfix)
{
    // Never null: a null value is stored as the empty string.
    const QString value = postfix.isNull() ? QLatin1String("") : postfix;
    if (value.isNull() == m_postfix.isNull() && value == m_postfix)
        return;
    m_postfix = value;
    Q_EMIT postfixChanged();
}

void OutputOptions::setCreateThumbnails(bool createThumbnails)
{
    if (createThumbnails == m_createThumbnails)
        return;
    m_createThumbnails = createThumbnails;
    Q_EMIT createThumbnailsChanged();
}

void OutputOptions::setFitIndex(int fitIndex)
{
    if (fitIndex == m_fitIndex)
        return;
    m_fitIndex = fitIndex;
    Q_EMIT fitIndexChanged();
}

void OutputOptions::setSourceIndex(int sourceIndex)
{
    if (sourceIndex == m_sourceIndex)
        return;
    m_sourceIndex = sourceIndex;
    Q_EMIT sourceIndexChanged();
}

void OutputOptions::setExisting(int existing)
{
    if (existing == m_existing)
        return;
    m_existing = existing;
    Q_EMIT existingChanged();
}

QString OutputOptions::nameProblem() const
{
    const auto problem = [](const QString &what, const QString &part) -> QString {
        if (part.contains(QLatin1Char('/')))
            return QStringLiteral("The %1 can't hold \"/\".").arg(what);
        if (part.contains(QChar(u'\0')))
            return QStringLiteral("The %1 can't hold a NUL character.").arg(what);
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral("The %1 can't be \"%2\".").arg(what, part);
        return {};
    };
    if (m_baseIndex == 1) {
        if (m_custom.isEmpty())
            return QStringLiteral("The custom name is empty.");
        if (QString reason = problem(QStringLiteral("custom name"), m_custom); !reason.isNull())
            return reason;
    }
    if (m_usePostfix) {
        if (QString reason = problem(QStringLiteral("postfix"), m_postfix); !reason.isNull())
            return reason;
    }
    // The format is also every file's extension; only a state file can make it a path.
    return problem(QStringLiteral("file format"), m_fileFormat);
}

void OutputOptions::setMetadata(int metadata)
{
    if (metadata == m_metadata)
        return;
    m_metadata = metadata;
    Q_EMIT metadataChanged();
}

int OutputOptions::thumbnailDim(int index)
{
    static constexpr std::array<int, 9> edges{32, 0, 64, 100, 128, 0, 192, 200, 256};
    if (index < 0 || index >= static_cast<int>(edges.size()))
        return 0;
    return edges[static_cast<std::size_t>(index)];
}

QString OutputOptions::counterString(int value) const
{
    // The value is written without sign into a field of ten zeros, right-aligned; the counter
    // is the last `digits` characters of that field.
    constexpr int FieldWidth = 10;
    const qint64 magnitude = value < 0 ? -static_cast<qint64>(value) : value;
    const QString field = QString::number(magnitude).rightJustified(FieldWidth, QLatin1Char('0'));
    const int digits = std::clamp(m_digits, 0, FieldWidth);
    return field.right(digits);
}

QString OutputOptions::buildFileName(const QString &sourceName, int counterValue) const
{
    const QString counter = m_useCounter ? counterString(counterValue) : QString();
    QString base;
    if (!sourceName.isNull() && m_baseIndex != 1) {
        const qsizetype dot = sourceName.lastIndexOf(QLatin1Char('.'));
        base = dot < 0 ? sourceName : sourceName.left(dot);
    } else {
        base = m_custom;
    }
    const QString postfix = m_usePostfix ? m_postfix : QString();
    return base + counter + postfix + QLatin1Char('.') + m_fileFormat;
}

QString OutputOptions::buildFinalPath(const QString &fileName) const
{
    const QString folder =
        m_folder.endsWith(QLatin1Char('/')) ? m_folder : m_folder + QLatin1Char('/');
    if (m_folderCreate)
        createFolderIfMissing(folder);
    return folder + fileName;
}

QString OutputOptions::buildFinalThumbsPath(const QString &fileName) const
{
    const QString thumbs = m_folder.endsWith(QLatin1Char('/'))
                               ? m_folder + QLatin1String("thumbs/")
                               : m_folder + QLatin1String("/thumbs/");
    if (m_folderCreate)
        createFolderIfMissing(thumbs);
    return thumbs + fileName;
}

ArchivedRecord OutputOptions::encode() const
{
    return encodeRecord(*this, ClassName, archiveTable());
}

std::shared_ptr<OutputOptions> OutputOptions::decode(const ArchivedRecord &record)
{
    auto options = std::make_shared<OutputOptions>();
    decodeRecord(*options, record, archiveTable());
    return options;
}

QString OutputOptions::expandedFolder(const QString &typed, const QString &home)
{
    if (typed.isEmpty())
        return QLatin1String("");
    if (typed == QLatin1String("~"))
        return home;
    if (typed.startsWith(QLatin1String("~/")))
        return QDir(home).filePath(typed.mid(2));
    return QDir::isAbsolutePath(typed) ? typed : QString();
}

} // namespace inkveil
