// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace inkveil {

// Plays the desktop's event sounds. The application names its sounds by their classic names
// ("Glass" when a batch is done); each maps to a freedesktop sound theme event. Silent where
// no sound server runs.
class SystemSound
{
public:
    static void play(const QString &name);
    // The freedesktop event id a sound name stands for.
    static QString eventId(const QString &name);
};

} // namespace inkveil
