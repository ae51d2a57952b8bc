// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "session/StateFile.h"

#include "archive/KeyedArchiver.h"
#include "archive/KeyedUnarchiver.h"
#include "base/Logging.h"
#include "base/RegularFile.h"
#include "base/Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>

namespace inkveil {

namespace {

const QString OverlaysKey = QStringLiteral("Overlays");
const QString OutputOptionsKey = QStringLiteral("OutputOptions");

// A readable state file is a few kilobytes; do not slurp a huge file put there by mistake.
std::atomic<qint64> maxFileSize{StateFile::DefaultMaxFileSize};

} // namespace

QString StateFile::pathForStateFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QLatin1String("/Tessaly Inkveil");
    // The data folder itself may be missing on a fresh account, so the missing levels are made
    // too. A failure shows up only as a state that is not kept.
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
    return folder + QLatin1String("/state.bin");
}

void StateFile::setMaxFileSize(const qint64 bytes)
{
    maxFileSize = bytes;
}

StateFile::LoadResult StateFile::loadState(OverlayList &overlays,
                                           std::shared_ptr<OutputOptions> &outputOptions)
{
    const QString path = pathForStateFile();
    LoadResult result = loadStateFrom(path, overlays, outputOptions);
    if (result.damaged()) {
        // Kept beside the new one rather than overwritten by the next save; an older damaged
        // file makes room for it.
        const QString kept = path + QLatin1String(".damaged");
        QFile::remove(kept);
        if (QFile::rename(path, kept))
            result.keptAs = kept;
    }
    return result;
}

StateFile::LoadResult StateFile::loadStateFrom(const QString &path, OverlayList &overlays,
                                               std::shared_ptr<OutputOptions> &outputOptions)
{
    LoadResult result;
    if (!path.isEmpty()) {
        const Result<QByteArray> data = RegularFile::readFile(path, maxFileSize);
        if (data) {
            const Status decoded = decode(*data, overlays, outputOptions);
            if (decoded)
                return result;
            result.problem = decoded.reason();
        } else if (data.error().code != ENOENT) {
            result.problem = data.reason();
        }
        if (!result.problem.isEmpty())
            qCDebug(lcSession, "Not using %s: %s", qUtf8Printable(path),
                    qUtf8Printable(result.problem));
    }
    const Result<QByteArray> defaults = RegularFile::readFile(
        Resources::path(QStringLiteral("state"), QStringLiteral("bin")), DefaultMaxFileSize);
    (void)decode(defaults ? *defaults : QByteArray(), overlays, outputOptions);
    return result;
}

Status StateFile::saveState(const OverlayList &overlays, const OutputOptions &outputOptions)
{
    return saveStateTo(pathForStateFile(), overlays, outputOptions);
}

Status StateFile::saveStateTo(const QString &path, const OverlayList &overlays,
                              const OutputOptions &outputOptions)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(encode(overlays, outputOptions));
        if (file.commit())
            return {};
    }
    qCWarning(lcSession, "Can't save %s: %s", qUtf8Printable(path),
              qUtf8Printable(file.errorString()));
    return Error{file.errorString()};
}

QByteArray StateFile::encode(const OverlayList &overlays, const OutputOptions &outputOptions)
{
    QList<ArchivedRecord> records;
    records.reserve(overlays.size());
    for (const auto &overlay : overlays)
        records.append(overlay->encode());
    KeyedArchiver archiver;
    archiver.encodeRecordArray(OverlaysKey, records);
    archiver.encodeRecord(OutputOptionsKey, outputOptions.encode());
    return archiver.finishEncoding();
}

Status StateFile::decode(const QByteArray &data, OverlayList &overlays,
                         std::shared_ptr<OutputOptions> &outputOptions)
{
    const KeyedUnarchiver unarchiver(data);
    if (const auto records = unarchiver.decodeRecordArray(OverlaysKey, Overlay::ClassName)) {
        overlays.clear();
        for (const ArchivedRecord &record : *records)
            overlays.append(Overlay::decode(record));
    } else {
        overlays = {Overlay::newWatermark()};
    }
    if (const auto record = unarchiver.decodeRecord(OutputOptionsKey, OutputOptions::ClassName))
        outputOptions = OutputOptions::decode(*record);
    if (const QString problem = unarchiver.problem(); !problem.isEmpty())
        return Error{problem};
    return {};
}

} // namespace inkveil
