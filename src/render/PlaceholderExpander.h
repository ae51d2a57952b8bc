// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace inkveil {

class WorkFile;

// Fills in the placeholders of a watermark text for one photo: the user's name, the file name,
// today's date and the photo's EXIF values. The clock and the user's name are handed in, so
// that a test (or a preview that must match the batch) can fix them.
class PlaceholderExpander
{
public:
    using Clock = std::function<QDateTime()>;

    // The user running the application, and the local clock.
    PlaceholderExpander();
    PlaceholderExpander(QString userFullName, Clock clock);

    // The text with every placeholder replaced, in a fixed order, each over the whole text.
    // Reads the file's EXIF on first need; invalid EXIF makes the EXIF placeholders vanish.
    // An optional part "{?...}" is first either unwrapped or dropped whole: dropped when a
    // placeholder in it has no value for the photo (an empty text, or the 0 that a missing
    // number reads as), so "{?f/{EXIF_FNUMBER} }" leaves no "f/" behind. Parts do not nest; an
    // unclosed "{?" stays as typed.
    QString expandText(const QString &text, WorkFile &file) const;

    // The placeholders, in the order they are replaced.
    static const QStringList &placeholders();
    // What a placeholder stands for, in a few words ("lens model"); empty for other text.
    static QString meaning(const QString &placeholder);

    // The full name of the current user (from the account's GECOS field), else the login name.
    static QString systemUserFullName();

private:
    // Each placeholder with its value for the photo, in the order they are replaced.
    QList<std::pair<QString, QString>> values(WorkFile &file) const;
    static QString optionalPartsSettled(const QString &text,
                                        const QList<std::pair<QString, QString>> &pairs);

    QString m_userFullName;
    Clock m_clock;
};

} // namespace inkveil
