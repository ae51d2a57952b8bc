// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/PlaceholderExpander.h"

#include "sources/WorkFile.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace inkveil {

namespace {

// "2026-12-06 14:05:09 +0100": date, time and the zone offset as sign and four digits.
QString fullDate(const QDateTime &now)
{
    const int offsetMinutes = now.offsetFromUtc() / 60;
    const QChar sign = offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + sign +
           QStringLiteral("%1%2")
               .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
               .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

PlaceholderExpander::PlaceholderExpander()
    : PlaceholderExpander(systemUserFullName(), [] { return QDateTime::currentDateTime(); })
{}

PlaceholderExpander::PlaceholderExpander(QString userFullName, Clock clock)
    : m_userFullName(std::move(userFullName))
    , m_clock(std::move(clock))
{}

const QStringList &PlaceholderExpander::placeholders()
{
    static const QStringList list{
        QStringLiteral("{USERNAME}"),
        QStringLiteral("{FILENAME}"),
        QStringLiteral("{FULLDATE}"),
        QStringLiteral("{YEAR}"),
        QStringLiteral("{MONTH}"),
        QStringLiteral("{DATE}"),
        QStringLiteral("{DAY}"),
        QStringLiteral("{EXIF_MAKE}"),
        QStringLiteral("{EXIF_MODEL}"),
        QStringLiteral("{EXIF_DATE}"),
        QStringLiteral("{EXIF_FOCALLENGTH}"),
        QStringLiteral("{EXIF_FNUMBER}"),
        QStringLiteral("{EXIF_SHUTTER}"),
        QStringLiteral("{EXIF_ISO}"),
        QStringLiteral("{EXIF_WIDTH}"),
        QStringLiteral("{EXIF_HEIGHT}"),
        QStringLiteral("{EXIF_RESOLUTION}"),
        QStringLiteral("{EXIF_ARTIST}"),
        QStringLiteral("{EXIF_COPYRIGHT}"),
        QStringLiteral("{EXIF_LENS}"),
    };
    return list;
}

QString PlaceholderExpander::meaning(const QString &placeholder)
{
    static const QHash<QString, QString> meanings{
        {QStringLiteral("{USERNAME}"), QStringLiteral("your full name")},
        {QStringLiteral("{FILENAME}"), QStringLiteral("the photo's file name")},
        {QStringLiteral("{FULLDATE}"), QStringLiteral("date, time and time zone now")},
        {QStringLiteral("{YEAR}"), QStringLiteral("this year")},
        {QStringLiteral("{MONTH}"), QStringLiteral("this month, 01 to 12")},
        {QStringLiteral("{DATE}"), QStringLiteral("today's day of the month")},
        {QStringLiteral("{DAY}"), QStringLiteral("today's weekday")},
        {QStringLiteral("{EXIF_MAKE}"), QStringLiteral("camera maker")},
        {QStringLiteral("{EXIF_MODEL}"), QStringLiteral("camera model")},
        {QStringLiteral("{EXIF_DATE}"), QStringLiteral("date and time taken")},
        {QStringLiteral("{EXIF_FOCALLENGTH}"), QStringLiteral("focal length in mm")},
        {QStringLiteral("{EXIF_FNUMBER}"), QStringLiteral("f-number")},
        {QStringLiteral("{EXIF_SHUTTER}"), QStringLiteral("exposure time in seconds")},
        {QStringLiteral("{EXIF_ISO}"), QStringLiteral("ISO speed")},
        {QStringLiteral("{EXIF_WIDTH}"), QStringLiteral("width in pixels")},
        {QStringLiteral("{EXIF_HEIGHT}"), QStringLiteral("height in pixels")},
        {QStringLiteral("{EXIF_RESOLUTION}"), QStringLiteral("resolution in dots per inch")},
        {QStringLiteral("{EXIF_ARTIST}"), QStringLiteral("photographer")},
        {QStringLiteral("{EXIF_COPYRIGHT}"), QStringLiteral("copyright notice")},
        {QStringLiteral("{EXIF_LENS}"), QStringLiteral("lens model")},
    };
    return meanings.value(placeholder);
}

QList<std::pair<QString, QString>> PlaceholderExpander::values(WorkFile &file) const
{
    // One reading of the clock for all date placeholders, so they agree with each other.
    const QDateTime now = m_clock();
    const ExifData &exif = file.readExif();
    const bool valid = exif.valid();
    const auto exifValue = [valid](const QString &value) { return valid ? value : QString(); };
    const QStringList values{
        m_userFullName,
        file.fileName(),
        fullDate(now),
        now.toString(QStringLiteral("yyyy")),
        now.toString(QStringLiteral("MM")),
        now.toString(QStringLiteral("dd")),
        QLocale::system().dayName(now.date().dayOfWeek(), QLocale::LongFormat),
        exifValue(exif.make()),
        exifValue(exif.model()),
        exifValue(exif.dateTime()),
        exifValue(exif.focalLength().toString()),
        exifValue(exif.fNumber().toString()),
        exifValue(exif.exposure()),
        exifValue(QString::number(exif.iso())),
        exifValue(QString::number(exif.width())),
        exifValue(QString::number(exif.height())),
        exifValue(QString::number(static_cast<double>(exif.resx()), 'g', 7)),
        exifValue(exif.artist()),
        exifValue(exif.copyright()),
        exifValue(exif.lensModel()),
    };
    QList<std::pair<QString, QString>> pairs;
    for (qsizetype i = 0; i < values.size(); ++i)
        pairs.append({placeholders().at(i), values.at(i)});
    return pairs;
}

QString PlaceholderExpander::expandText(const QString &text, WorkFile &file) const
{
    const QList<std::pair<QString, QString>> pairs = values(file);
    QString result = optionalPartsSettled(text, pairs);
    for (const auto &[placeholder, value] : pairs)
        result.replace(placeholder, value);
    return result;
}

QString PlaceholderExpander::optionalPartsSettled(const QString &text,
                                                  const QList<std::pair<QString, QString>> &pairs)
{
    const QLatin1String opening("{?");
    QString result;
    qsizetype from = 0;
    for (qsizetype start = text.indexOf(opening); start >= 0; start = text.indexOf(opening, from)) {
        // The part ends at the first "}" that closes no placeholder of its own.
        qsizetype end = start + opening.size();
        for (int depth = 0; end < text.size(); ++end) {
            if (text.at(end) == QLatin1Char('{'))
                ++depth;
            else if (text.at(end) == QLatin1Char('}') && depth-- == 0)
                break;
        }
        if (end >= text.size())
            break;
        const QString inner = text.mid(start + opening.size(), end - start - opening.size());
        // No value: an empty text, or the 0 that a number the photo lacks reads as.
        const bool missing = std::any_of(pairs.begin(), pairs.end(), [&inner](const auto &pair) {
            return inner.contains(pair.first) &&
                   (pair.second.isEmpty() || pair.second == QLatin1String("0"));
        });
        result += text.mid(from, start - from);
        if (!missing)
            result += inner;
        from = end + 1;
    }
    return result + text.mid(from);
}

QString PlaceholderExpander::systemUserFullName()
{
    // Looked up once: the account does not change while the application runs.
    static const QString name = [] {
        const passwd *entry = getpwuid(getuid());
        if (!entry)
            return qEnvironmentVariable("USER");
        // The GECOS field holds "Full Name,room,phone,...".
        const QString gecos = QString::fromLocal8Bit(entry->pw_gecos ? entry->pw_gecos : "");
        const QString fullName = gecos.section(QLatin1Char(','), 0, 0).trimmed();
        return fullName.isEmpty() ? QString::fromLocal8Bit(entry->pw_name) : fullName;
    }();
    return name;
}

} // namespace inkveil
