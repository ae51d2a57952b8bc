// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

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
    QString expandText(const QString &text, WorkFile &file) const;

    // The placeholders, in the order they are replaced.
    static const QStringList &placeholders();

    // The full name of the current user (from the account's GECOS field), else the login name.
    static QString systemUserFullName();

private:
    QString m_userFullName;
    Clock m_clock;
};

} // namespace inkveil
