// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "watermarks/Overlay.h"

#include "base/Resources.h"
#include "imageio/ImageToolkit.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

#include <array>

namespace inkveil {

const QString Overlay::ClassName = QStringLiteral("Overlay");
const QString Overlay::DefaultText = QStringLiteral("\u00A9 {YEAR}, {USERNAME}");
// The four corners and the bottom centre; ties go to the bottom right, where most people put it.
const QList<qint16> Overlay::DefaultAutoPositions{2, 0, 8, 6, 1};

namespace {

QString systemFontName()
{
    // Font queries need a GUI application; without one (a bare core process) use the generic
    // sans family, which Qt resolves to the default sans font.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    return QStringLiteral("Sans Serif");
}

// Archive keys in the order they are written. width and height are not archived: they come
// from the image file when the record is read back. The fitting keys came later: a record
// without them keeps its defaults, which draw it as before.
const std::array<ArchiveKey<Overlay>, 15> &originalKeys()
{
    static const std::array<ArchiveKey<Overlay>, 15> table{{
        {"name", ArchiveKind::String,
         [](const Overlay &o) { return QVariant::fromValue(o.name()); },
         [](Overlay &o, const QVariant &v) { o.setName(v.toString()); }},
        // A stored position is a 32-bit integer; the record keeps its low 16 bits, signed.
        {"position", ArchiveKind::Int,
         [](const Overlay &o) { return QVariant::fromValue(static_cast<int>(o.position())); },
         [](Overlay &o, const QVariant &v) { o.setPosition(static_cast<qint16>(v.toInt())); }},
        {"use", ArchiveKind::Bool, [](const Overlay &o) { return QVariant::fromValue(o.use()); },
         [](Overlay &o, const QVariant &v) { o.setUse(v.toBool()); }},
        {"text", ArchiveKind::String,
         [](const Overlay &o) { return QVariant::fromValue(o.text()); },
         [](Overlay &o, const QVariant &v) { o.setText(v.toString()); }},
        {"color", ArchiveKind::Color,
         [](const Overlay &o) { return QVariant::fromValue(o.color()); },
         [](Overlay &o, const QVariant &v) { o.setColor(v.value<QColor>()); }},
        {"fontName", ArchiveKind::String,
         [](const Overlay &o) { return QVariant::fromValue(o.fontName()); },
         [](Overlay &o, const QVariant &v) { o.setFontName(v.toString()); }},
        {"pointSize", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.pointSize()); },
         [](Overlay &o, const QVariant &v) { o.setPointSize(v.toFloat()); }},
        {"alpha", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.alpha()); },
         [](Overlay &o, const QVariant &v) { o.setAlpha(v.toFloat()); }},
        {"rotation", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.rotation()); },
         [](Overlay &o, const QVariant &v) { o.setRotation(v.toFloat()); }},
        {"filePath", ArchiveKind::String,
         [](const Overlay &o) { return QVariant::fromValue(o.filePath()); },
         [](Overlay &o, const QVariant &v) { o.setFilePath(v.toString()); }},
        {"imgAlpha", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.imgAlpha()); },
         [](Overlay &o, const QVariant &v) { o.setImgAlpha(v.toFloat()); }},
        {"imgRotation", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.imgRotation()); },
         [](Overlay &o, const QVariant &v) { o.setImgRotation(v.toFloat()); }},
        {"bgColor", ArchiveKind::Color,
         [](const Overlay &o) { return QVariant::fromValue(o.bgColor()); },
         [](Overlay &o, const QVariant &v) { o.setBgColor(v.value<QColor>()); }},
        {"show", ArchiveKind::Bool, [](const Overlay &o) { return QVariant::fromValue(o.show()); },
         [](Overlay &o, const QVariant &v) { o.setShow(v.toBool()); }},
        {"extend", ArchiveKind::Bool,
         [](const Overlay &o) { return QVariant::fromValue(o.extend()); },
         [](Overlay &o, const QVariant &v) { o.setExtend(v.toBool()); }},
    }};
    return table;
}

// Keys added later, each optional.
const std::array<ArchiveKey<Overlay>, 12> &laterKeys()
{
    static const std::array<ArchiveKey<Overlay>, 12> table{{
        {"relativeSize", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.relativeSize()); },
         [](Overlay &o, const QVariant &v) { o.setRelativeSize(v.toFloat()); }, true},
        {"margin", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.margin()); },
         [](Overlay &o, const QVariant &v) { o.setMargin(v.toFloat()); }, true},
        {"tile", ArchiveKind::Bool, [](const Overlay &o) { return QVariant::fromValue(o.tile()); },
         [](Overlay &o, const QVariant &v) { o.setTile(v.toBool()); }, true},
        {"tileSpacing", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.tileSpacing()); },
         [](Overlay &o, const QVariant &v) { o.setTileSpacing(v.toFloat()); }, true},
        {"outlineWidth", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.outlineWidth()); },
         [](Overlay &o, const QVariant &v) { o.setOutlineWidth(v.toFloat()); }, true},
        {"outlineColor", ArchiveKind::Color,
         [](const Overlay &o) { return QVariant::fromValue(o.outlineColor()); },
         [](Overlay &o, const QVariant &v) { o.setOutlineColor(v.value<QColor>()); }, true},
        {"shadow", ArchiveKind::Bool,
         [](const Overlay &o) { return QVariant::fromValue(o.shadow()); },
         [](Overlay &o, const QVariant &v) { o.setShadow(v.toBool()); }, true},
        {"shadowColor", ArchiveKind::Color,
         [](const Overlay &o) { return QVariant::fromValue(o.shadowColor()); },
         [](Overlay &o, const QVariant &v) { o.setShadowColor(v.value<QColor>()); }, true},
        {"fontStyle", ArchiveKind::String,
         [](const Overlay &o) { return QVariant::fromValue(o.fontStyle()); },
         [](Overlay &o, const QVariant &v) { o.setFontStyle(v.toString()); }, true},
        {"offsetX", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.offsetX()); },
         [](Overlay &o, const QVariant &v) { o.setOffsetX(v.toFloat()); }, true},
        {"offsetY", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.offsetY()); },
         [](Overlay &o, const QVariant &v) { o.setOffsetY(v.toFloat()); }, true},
        {"maxWidth", ArchiveKind::Float,
         [](const Overlay &o) { return QVariant::fromValue(o.maxWidth()); },
         [](Overlay &o, const QVariant &v) { o.setMaxWidth(v.toFloat()); }, true},
    }};
    return table;
}

// The keys of fitting to each photo, written after all others.
const std::array<ArchiveKey<Overlay>, 7> &readingTable()
{
    static const std::array<ArchiveKey<Overlay>, 7> table{{
        {"autoPlace", ArchiveKind::Bool,
         [](const Overlay &o) { return QVariant::fromValue(o.autoPlace()); },
         [](Overlay &o, const QVariant &v) { o.setAutoPlace(v.toBool()); }, true},
        // Positions as digits in order of preference, "2,0,8,6,1".
        {"autoPositions", ArchiveKind::String,
         [](const Overlay &o) {
             QStringList digits;
             for (const qint16 position : o.autoPositions())
                 digits.append(QString::number(position));
             return QVariant::fromValue(digits.join(QLatin1Char(',')));
         },
         [](Overlay &o, const QVariant &v) {
             QList<qint16> positions;
             for (const QString &digit : v.toString().split(QLatin1Char(','))) {
                 bool ok = false;
                 const int position = digit.trimmed().toInt(&ok);
                 if (ok)
                     positions.append(static_cast<qint16>(position));
             }
             o.setAutoPositions(positions);
         },
         true},
        {"autoContrast", ArchiveKind::Bool,
         [](const Overlay &o) { return QVariant::fromValue(o.autoContrast()); },
         [](Overlay &o, const QVariant &v) { o.setAutoContrast(v.toBool()); }, true},
        {"altColor", ArchiveKind::Color,
         [](const Overlay &o) { return QVariant::fromValue(o.altColor()); },
         [](Overlay &o, const QVariant &v) { o.setAltColor(v.value<QColor>()); }, true},
        {"autoShadow", ArchiveKind::Bool,
         [](const Overlay &o) { return QVariant::fromValue(o.autoShadow()); },
         [](Overlay &o, const QVariant &v) { o.setAutoShadow(v.toBool()); }, true},
        {"autoOutline", ArchiveKind::Bool,
         [](const Overlay &o) { return QVariant::fromValue(o.autoOutline()); },
         [](Overlay &o, const QVariant &v) { o.setAutoOutline(v.toBool()); }, true},
        {"altImagePath", ArchiveKind::String,
         [](const Overlay &o) { return QVariant::fromValue(o.altImagePath()); },
         [](Overlay &o, const QVariant &v) { o.setAltImagePath(v.toString()); }, true},
    }};
    return table;
}

const QList<ArchiveKey<Overlay>> &archiveTable()
{
    static const QList<ArchiveKey<Overlay>> table = [] {
        QList<ArchiveKey<Overlay>> keys(originalKeys().cbegin(), originalKeys().cend());
        keys.append(QList<ArchiveKey<Overlay>>(laterKeys().cbegin(), laterKeys().cend()));
        return keys;
    }();
    return table;
}

} // namespace

Overlay::Overlay()
    : m_name(QStringLiteral("Default"))
    , m_bgColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 1.0f))
    , m_text(DefaultText)
    , m_fontName(systemFontName())
    , m_color(QColor::fromRgbF(1.0f, 1.0f, 1.0f, 1.0f))
    , m_filePath(QLatin1String(""))
    , m_outlineColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 1.0f))
    , m_shadowColor(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.6f))
    , m_altColor(QColor::fromRgbF(0.1f, 0.1f, 0.1f, 1.0f))
{}

void Overlay::setAutoPositions(const QList<qint16> &positions)
{
    // Each of the nine positions once, in the order given; none left means the defaults.
    QList<qint16> kept;
    for (const qint16 position : positions) {
        if (position >= 0 && position <= 8 && !kept.contains(position))
            kept.append(position);
    }
    m_autoPositions = kept.isEmpty() ? DefaultAutoPositions : kept;
}

std::shared_ptr<Overlay> Overlay::newWatermark()
{
    auto overlay = std::make_shared<Overlay>();
    overlay->setRelativeSize(NewRelativeSize);
    overlay->setMargin(NewMargin);
    overlay->setMaxWidth(NewMaxWidth);
    return overlay;
}

ArchivedRecord Overlay::encode() const
{
    ArchivedRecord record = encodeRecord(*this, ClassName, archiveTable());
    record.values.append(encodeRecord(*this, ClassName, readingTable()).values);
    return record;
}

std::shared_ptr<Overlay> Overlay::decode(const ArchivedRecord &record)
{
    auto overlay = std::make_shared<Overlay>();
    decodeRecord(*overlay, record, archiveTable());
    decodeRecord(*overlay, record, readingTable());
    if (!overlay->filePath().isEmpty()) {
        if (const auto size = ImageToolkit::naturalSize(overlay->filePath())) {
            overlay->setWidth(static_cast<qint16>(static_cast<int>(size->width())));
            overlay->setHeight(static_cast<qint16>(static_cast<int>(size->height())));
        } else {
            overlay->m_missingFilePath = overlay->filePath();
            overlay->setFilePath(Resources::imagePath(QStringLiteral("bomb")));
            overlay->setWidth(PlaceholderWidth);
            overlay->setHeight(PlaceholderHeight);
        }
    }
    return overlay;
}

} // namespace inkveil
