// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "output/OutputOptions.h"

#include "base/SafeWrite.h"
#include "mark/MarkCode.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaProperty>

#include <algorithm>
#include <array>

namespace inkveil {

const QString OutputOptions::ClassName = QStringLiteral("OutputOptions");

namespace {

QMetaProperty propertyOf(const char *key)
{
    const QMetaObject &meta = OutputOptions::staticMetaObject;
    return meta.property(meta.indexOfProperty(key));
}

// Makes a folder, with every missing level above it, when nothing stands at its path. Best
// effort: a run checks its folders before the first photo, and a refusal shows up as a failed
// write.
void createFolderIfMissing(const QString &folder)
{
    if (!SafeWrite::entryExists(folder))
        (void)SafeWrite::makeFolders(folder);
}

} // namespace

const QList<OutputOptions::Field> &OutputOptions::fields()
{
    using Kind = ArchiveKind;
    const auto text = [](const char *value) { return QVariant(QString::fromLatin1(value)); };
    static const QList<Field> table{
        {"folder", Kind::String, text(""), "output"},
        {"folderCreate", Kind::Bool, true},
        {"fileFormat", Kind::String, text(ImageFormats::info(ImageFormat::Jpeg).names[0]),
         "format"},
        {"quality", Kind::Int, 90, "quality"},
        {"resize", Kind::Bool, false},
        {"width", Kind::Int, 640},
        {"height", Kind::Int, 480},
        {"baseIndex", Kind::Int, SourceName},
        {"custom", Kind::String, text("image")},
        {"useCounter", Kind::Bool, false},
        {"digits", Kind::Int, 5},
        {"lastValue", Kind::Int, 1},
        {"usePostfix", Kind::Bool, false},
        {"postfix", Kind::String, text("_iv")},
        {"createThumbnails", Kind::Bool, false},
        {"fitIndex", Kind::Int, 2},
        {"sourceIndex", Kind::Int, OriginalImage},
        // Added later; an older state file without them reads 0, which is their default.
        {"existing", Kind::Int, ReplaceExisting, "existing"},
        {"metadata", Kind::Int, KeepMetadata, "metadata"},
        // Resize modes beyond the box. An older state file reads mode 0, the box, and no
        // "never enlarge", as before; the sizes of the other modes keep their defaults.
        {"resizeMode", Kind::Int, FitBox, "resize"},
        {"resizeEdge", Kind::Int, 2048, nullptr, true},
        {"resizePercent", Kind::Int, 50, nullptr, true},
        {"resizeMegapixels", Kind::Float, 2.0f, nullptr, true},
        {"neverEnlarge", Kind::Bool, false},
        // Content credentials, added later still: absent, nothing is signed.
        {"signCredentials", Kind::Bool, false, nullptr, false, true},
        {"signCertificate", Kind::String, QVariant(QString())},
        {"signKey", Kind::String, QVariant(QString())},
        {"signAuthor", Kind::String, QVariant(QString())},
        // The invisible owner mark; off in an older state file, and written only when on, so
        // that state files without the mark stay as they were.
        {"invisibleMark", Kind::Bool, false, nullptr, false, true},
        {"markNumber", Kind::String, QVariant(QString())},
    };
    return table;
}

const OutputOptions::Field *OutputOptions::field(QStringView key)
{
    for (const Field &row : fields()) {
        if (key == QLatin1String(row.key))
            return &row;
    }
    return nullptr;
}

const OutputOptions::Field *OutputOptions::fieldOfOption(QStringView option)
{
    for (const Field &row : fields()) {
        if (row.option && option == QLatin1String(row.option))
            return &row;
    }
    return nullptr;
}

QVariant OutputOptions::Field::get(const OutputOptions &options) const
{
    const QVariant value = propertyOf(key).read(&options);
    // The archive stores a choice as its number.
    return kind == ArchiveKind::Int ? QVariant(value.toInt()) : value;
}

void OutputOptions::Field::set(OutputOptions &options, const QVariant &value) const
{
    const QMetaProperty property = propertyOf(key);
    if (!property.isEnumType()) {
        property.write(&options, value);
        return;
    }
    // Any number, also one outside the choices, is kept as it is.
    QVariant choice(property.metaType());
    *static_cast<int *>(choice.data()) = value.toInt();
    property.write(&options, choice);
}

OutputOptions::OutputOptions(QObject *parent)
    : QObject(parent)
{
    for (const Field &row : fields())
        row.set(*this, row.defaultValue);
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
    if (m_baseIndex == CustomName) {
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

ResizeRule OutputOptions::resizeRule() const
{
    ResizeRule rule = ResizeRule::fitInto(m_width, m_height);
    switch (m_resizeMode) {
    case LongEdge:
    case ShortEdge:
    case Percent:
    case Megapixels:
        rule.mode = static_cast<ResizeRule::Mode>(m_resizeMode);
        break;
    default:
        break;
    }
    rule.edge = m_resizeEdge;
    rule.percent = m_resizePercent;
    rule.megapixels = m_resizeMegapixels;
    rule.neverEnlarge = m_neverEnlarge;
    return rule;
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
    if (!sourceName.isNull() && m_baseIndex != CustomName) {
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

std::optional<quint64> OutputOptions::markId() const
{
    bool ok = false;
    const quint64 id = m_markNumber.toULongLong(&ok, 10);
    const bool digitsOnly = std::all_of(m_markNumber.cbegin(), m_markNumber.cend(),
                                        [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!ok || !digitsOnly || id > MarkPayload::MaxId)
        return std::nullopt;
    return id;
}

ArchivedRecord OutputOptions::encode() const
{
    return encodeRecord(*this, ClassName, fields());
}

std::shared_ptr<OutputOptions> OutputOptions::decode(const ArchivedRecord &record)
{
    auto options = std::make_shared<OutputOptions>();
    decodeRecord(*options, record, fields());
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
