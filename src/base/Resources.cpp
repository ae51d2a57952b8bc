// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace inkveil {

namespace {

QString &overrideDirectory()
{
    static QString directory;
    return directory;
}

} // namespace

QString Resources::directory()
{
    if (!overrideDirectory().isEmpty())
        return overrideDirectory();
    static const QString found = [] {
        const QString appDir = QCoreApplication::applicationDirPath();
        const QStringList candidates{
            appDir + QLatin1String("/../share/inkveil/resources"),
            QStringLiteral(INKVEIL_BUILD_RESOURCES_DIR),
        };
        for (const QString &dir : candidates) {
            if (QFileInfo::exists(dir + QLatin1String("/Panes.plist")))
                return QDir(dir).canonicalPath();
        }
        return QStringLiteral(INKVEIL_BUILD_RESOURCES_DIR);
    }();
    return found;
}

void Resources::setDirectory(const QString &directory)
{
    overrideDirectory() = directory;
}

QString Resources::path(const QString &name, const QString &type)
{
    const QString file = directory() + QLatin1Char('/') + name + QLatin1Char('.') + type;
    return QFileInfo(file).isFile() ? file : QString();
}

QString Resources::imagePath(const QString &name)
{
    return path(name, QStringLiteral("png"));
}

} // namespace inkveil
