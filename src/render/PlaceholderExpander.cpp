// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "render/PlaceholderExpander.h"

#include "sources/WorkFile.h"

#include <QLocale>
#include <QStringList>

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
    };
    return list;
}

QString PlaceholderExpander::expandText(const QString &text, WorkFile &file) const
{
    QString result = text;
    const auto replace = [&result](const char *placeholder, const QString &value) {
        result.replace(QLatin1String(placeholder), value);
    };
    replace("{USERNAME}", m_userFullName);
    replace("{FILENAME}", file.fileName());

    // One reading of the clock for all date placeholders, so they agree with each other.
    const QDateTime now = m_clock();
    replace("{FULLDATE}", fullDate(now));
    replace("{YEAR}", now.toString(QStringLiteral("yyyy")));
    replace("{MONTH}", now.toString(QStringLiteral("MM")));
    replace("{DATE}", now.toString(QStringLiteral("dd")));
    replace("{DAY}", QLocale::system().dayName(now.date().dayOfWeek(), QLocale::LongFormat));

    const ExifData &exif = file.readExif();
    const bool valid = exif.valid();
    const auto exifValue = [valid](const QString &value) { return valid ? value : QString(); };
    replace("{EXIF_MAKE}", exifValue(exif.make()));
    replace("{EXIF_MODEL}", exifValue(exif.model()));
    replace("{EXIF_DATE}", exifValue(exif.dateTime()));
    replace("{EXIF_FOCALLENGTH}", exifValue(exif.focalLength().toString()));
    replace("{EXIF_FNUMBER}", exifValue(exif.fNumber().toString()));
    replace("{EXIF_SHUTTER}", exifValue(exif.exposure()));
    replace("{EXIF_ISO}", exifValue(QString::number(exif.iso())));
    replace("{EXIF_WIDTH}", exifValue(QString::number(exif.width())));
    replace("{EXIF_HEIGHT}", exifValue(QString::number(exif.height())));
    replace("{EXIF_RESOLUTION}",
            exifValue(QString::number(static_cast<double>(exif.resx()), 'g', 7)));
    return result;
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
