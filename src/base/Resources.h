// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace inkveil {

// The application's resources: pane list, images, default state and help pages. Installed builds
// find them beside the executable's share folder; a build tree uses the source tree's resources
// folder.
class Resources
{
public:
    static QString directory();
    // Points every lookup at another folder (tests bring their own pane lists).
    static void setDirectory(const QString &directory);

    // The full path of the resource name.type, or a null string when there is no such file.
    static QString path(const QString &name, const QString &type);
    // The full path of the PNG image resource of that name, or a null string.
    static QString imagePath(const QString &name);
};

} // namespace inkveil
