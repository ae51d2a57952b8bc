// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/ExifSummary.h"

#include "imageio/ExifData.h"

namespace inkveil {

QString ExifSummary::text(const QList<const ExifData *> &selected)
{
    if (selected.isEmpty())
        return QStringLiteral("No files");
    if (selected.size() > 1)
        return QStringLiteral("Multiple Selection");
    Q_ASSERT(selected.first());
    return text(*selected.first());
}

QString ExifSummary::text(const ExifData &data)
{
    return lines(data).join(QLatin1Char('\n'));
}

QStringList ExifSummary::lines(const ExifData &data)
{
    if (!data.valid())
        return {QStringLiteral("No EXIF data found")};

    const QString exposure = QStringLiteral("%1s at f/%2, ISO %3, FL %4 mm")
                                 .arg(data.exposure(), data.fNumber().toString(),
                                      QString::number(data.iso()), data.focalLength().toString());
    // %g: the resolution in its shortest general form, 72 rather than 72.0.
    const QString size = QString::asprintf("%d x %d @ %g dpi", int(data.width()),
                                           int(data.height()), double(data.resx()));
    // One pass over the pattern, so a '%1' inside the model or the date stays as it is.
    QStringList lines{QStringLiteral("%1 on %2").arg(data.model(), data.dateTime()), exposure,
                      size};
    // The lens and the credits, those the photo records, on a line of their own.
    QStringList credits;
    if (!data.lensModel().isEmpty())
        credits.append(data.lensModel());
    if (!data.artist().isEmpty())
        credits.append(QStringLiteral("by ") + data.artist());
    if (!data.copyright().isEmpty())
        credits.append(data.copyright());
    if (!credits.isEmpty())
        lines.append(credits.join(QStringLiteral("; ")));
    return lines;
}

} // namespace inkveil
