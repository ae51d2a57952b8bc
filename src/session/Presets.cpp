// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session/Presets.h"

#include "base/SafeWrite.h"
#include "session/StateFile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>

namespace inkveil {

const QString Presets::Extension = QStringLiteral("inkveil");

QString Presets::folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1String("/Tessaly Inkveil/Presets");
}

bool Presets::isValidName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString Presets::path(const QString &name)
{
    if (!isValidName(name))
        return {};
    return folder() + QLatin1Char('/') + name + QLatin1Char('.') + Extension;
}

QStringList Presets::names()
{
    const QDir dir(folder());
    QStringList result;
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.") + Extension}, QDir::Files | QDir::Readable);
    for (const QFileInfo &file : files) {
        const QString name = file.fileName().chopped(Extension.size() + 1);
        if (isValidName(name))
            result.append(name);
    }
    // The same fixed collation as photo names, so the list reads the same on every machine.
    QCollator collator{QLocale(QLocale::English, QLocale::UnitedStates)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(result.begin(), result.end(), [&](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return result;
}

bool Presets::exists(const QString &name)
{
    const QString file = path(name);
    return !file.isNull() && QFileInfo(file).isFile();
}

Status Presets::save(const QString &name, const OverlayList &overlays,
                     const OutputOptions &outputOptions)
{
    const QString file = path(name);
    if (file.isNull())
        return Error{QStringLiteral("\"%1\" can't name a preset.").arg(name)};
    if (!QDir().mkpath(folder()))
        return Error{QStringLiteral("Can't create the folder %1.").arg(folder())};
    return StateFile::saveStateTo(file, overlays, outputOptions);
}

Status Presets::load(const QString &name, OverlayList &overlays,
                     std::shared_ptr<OutputOptions> &outputOptions)
{
    const QString file = path(name);
    if (file.isNull() || !SafeWrite::entryExists(file))
        return Error{QStringLiteral("No preset named \"%1\".").arg(name), ENOENT};
    // Presets are the files of our own folder; a link there was put by someone else.
    if (SafeWrite::isSymLink(file))
        return Error{SafeWrite::linkReason(), ELOOP};
    OverlayList loadedOverlays;
    std::shared_ptr<OutputOptions> loadedOptions = outputOptions;
    const StateFile::LoadResult loaded =
        StateFile::loadStateFrom(file, loadedOverlays, loadedOptions);
    if (loaded.damaged())
        return Error{loaded.problem};
    overlays = loadedOverlays;
    outputOptions = loadedOptions;
    return {};
}

} // namespace inkveil
