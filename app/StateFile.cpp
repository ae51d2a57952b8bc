#include "app/StateFile.h"

#include "app/KeyedArchiver.h"
#include "app/KeyedUnarchiver.h"
#include "app/Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString OverlaysKey = QStringLiteral("Overlays");
const QString OutputOptionsKey = QStringLiteral("OutputOptions");

// A readable state file is a few kilobytes; do not slurp a huge file put there by mistake.
constexpr qint64 MaxStateFileSize = 16 * 1024 * 1024;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > MaxStateFileSize)
        return {};
    return file.readAll();
}

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

void StateFile::loadState(OverlayList &overlays, std::shared_ptr<OutputOptions> &outputOptions)
{
    loadStateFrom(pathForStateFile(), overlays, outputOptions);
}

void StateFile::loadStateFrom(const QString &path, OverlayList &overlays,
                              std::shared_ptr<OutputOptions> &outputOptions)
{
    QByteArray data = readFile(path);
    if (data.isEmpty())
        data = readFile(Resources::path(QStringLiteral("state"), QStringLiteral("bin")));
    decode(data, overlays, outputOptions);
}

bool StateFile::saveState(const OverlayList &overlays, const OutputOptions &outputOptions)
{
    return saveStateTo(pathForStateFile(), overlays, outputOptions);
}

bool StateFile::saveStateTo(const QString &path, const OverlayList &overlays,
                            const OutputOptions &outputOptions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(encode(overlays, outputOptions));
    return file.commit();
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

void StateFile::decode(const QByteArray &data, OverlayList &overlays,
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
}
