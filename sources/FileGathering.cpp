#include "sources/FileGathering.h"

#include "render/ImageToolkit.h"

#include <QCollator>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {

// One fixed collation, so the order (and with it the counter numbers) is the same on every
// machine whatever its locale.
const QCollator &naturalOrder()
{
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::English, QLocale::UnitedStates)};
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

void appendEntries(const QString &folder, const QString &relative, QStringList &out)
{
    const QDir dir(folder + QLatin1Char('/') + relative);
    QStringList names = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    // Ties in the natural order (names differing only in case) fall back to plain text order.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = naturalOrder().compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    for (const QString &name : names) {
        const QString entry = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        out.append(folder + QLatin1Char('/') + entry);
        const QFileInfo info(dir.filePath(name));
        // Links to folders are not followed, so a link loop cannot walk forever.
        if (info.isDir() && !info.isSymLink())
            appendEntries(folder, entry, out);
    }
}

QString extensionOf(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

QStringList FileGathering::expandPaths(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        const qsizetype before = files.size();
        if (QFileInfo(path).isDir()) {
            QString folder = path;
            while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
                folder.chop(1);
            appendEntries(folder == QLatin1String("/") ? QString() : folder, QString(), files);
        }
        if (files.size() == before)
            files.append(path);
    }
    return files;
}

bool FileGathering::isSupportedFormat(const QString &extension)
{
    const QStringList &types = ImageToolkit::imageFileTypes();
    return std::any_of(types.begin(), types.end(),
                       [&](const QString &type) { return type == extension; });
}

qsizetype FileGathering::appendWorkFiles(WorkFileList &files, const QStringList &paths)
{
    // Paths are the identity of work files; a set keeps large drops from going quadratic.
    QSet<QString> held;
    held.reserve(files.size() + paths.size());
    for (const auto &file : files)
        held.insert(file->filePath());
    qsizetype added = 0;
    for (const QString &path : paths) {
        if (!isSupportedFormat(extensionOf(path)))
            continue;
        auto file = std::make_shared<WorkFile>(path);
        qInfo().noquote() << file->description();
        if (held.contains(path)) {
            qInfo().noquote() << QStringLiteral("Ignoring duplicate %1").arg(file->description());
            continue;
        }
        held.insert(path);
        files.append(std::move(file));
        ++added;
    }
    return added;
}
