// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What several tests need: files written and read whole, photos of one colour at a chosen
// resolution, colours compared with room for rounding, and, for the widget tests, the wizard on
// its real window.

#include "cli/BatchCommand.h"
#include "sources/WorkFile.h"

#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTextStream>
#include <QUrl>
#include <QtEndian>

#include <cstdlib>
#include <optional>

using namespace inkveil;

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Qt keeps an image's resolution in dots per metre.
inline QImage withDpi(QImage image, int dpi)
{
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    return image;
}

inline int dpiOf(const QImage &image)
{
    return qRound(image.dotsPerMeterX() * 0.0254);
}

// Saves a photo of one colour in the format its name gives; answers the path.
inline QString writePhoto(const QString &path, QSize size, const QColor &colour, int dpi = 72)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (!withDpi(image, dpi).save(path, nullptr, 95))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Colours within the tolerance per channel, for antialiased edges, lossy formats and
// premultiplied rounding; alpha exactly, so that nothing opaque turns translucent.
inline bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance &&
           qAlpha(actual) == qAlpha(expected);
}

inline WorkFileList workFiles(const QStringList &paths)
{
    WorkFileList files;
    for (const QString &path : paths)
        files.append(std::make_shared<WorkFile>(path));
    return files;
}

// A directory entry. Up to four value bytes go into the entry, more after the table, unless
// `field` gives the entry's value field as is (an offset that leads nowhere).
struct Entry
{
    quint16 tag;
    quint16 format;
    quint32 count;
    QByteArray value;
    std::optional<quint32> field = std::nullopt;
};

inline QByteArray segment(uchar marker, const QByteArray &payload)
{
    QByteArray length(2, '\0');
    qToBigEndian(quint16(payload.size() + 2), length.data());
    return QByteArray("\xFF") + char(marker) + length + payload;
}

// A JPEG of the given segments, with a scan and an end that the reader must never need.
inline QByteArray jpeg(const QByteArray &segments)
{
    return QByteArray("\xFF\xD8") + segments + segment(0xDA, "scan") + QByteArray("\x5A\xFF\xD9");
}

// Writes EXIF data in one byte order, as cameras put it into a JPEG's APP1 segment.
struct Tiff
{
    static constexpr quint16 ExifPointer = 0x8769;
    bool big;

    template <typename T> QByteArray number(T v) const
    {
        QByteArray b(qsizetype(sizeof v), '\0');
        big ? qToBigEndian(v, b.data()) : qToLittleEndian(v, b.data());
        return b;
    }
    QByteArray u16(quint16 v) const { return number(v); }
    QByteArray u32(quint32 v) const { return number(v); }
    Entry text(quint16 tag, const QByteArray &s) const
    {
        return {tag, 2, quint32(s.size() + 1), s + '\0'};
    }
    Entry short16(quint16 tag, quint16 v) const { return {tag, 3, 1, u16(v)}; }
    Entry long32(quint16 tag, quint32 v) const { return {tag, 4, 1, u32(v)}; }
    Entry ratio(quint16 tag, quint32 n, quint32 d) const { return {tag, 5, 1, u32(n) + u32(d)}; }

    // The directory as it lies at TIFF offset `at`, followed by its values.
    QByteArray directory(const QList<Entry> &entries, quint32 at, quint32 next = 0) const
    {
        QByteArray table = u16(quint16(entries.size())), values;
        for (const Entry &e : entries) {
            table += u16(e.tag) + u16(e.format) + u32(e.count);
            if (e.field || e.value.size() > 4)
                table += u32(e.field.value_or(at + 6 + 12 * quint32(entries.size()) +
                                              quint32(values.size())));
            else
                table += e.value + QByteArray(4 - e.value.size(), '\0');
            if (!e.field && e.value.size() > 4)
                values += e.value;
        }
        return table + u32(next) + values;
    }
    // Header, IFD0 at `ifd0At` pointing to the EXIF directory when there is one, the EXIF
    // directory, then IFD1 linked from IFD0.
    QByteArray tiff(QList<Entry> ifd0, const QList<Entry> &exif = {}, const QList<Entry> &ifd1 = {},
                    quint32 ifd0At = 8) const
    {
        if (!exif.isEmpty())
            ifd0 << long32(ExifPointer, 0);
        const auto exifAt = quint32(ifd0At + directory(ifd0, 0).size());
        if (!exif.isEmpty())
            ifd0.last().value = u32(exifAt);
        const QByteArray exifDir = exif.isEmpty() ? QByteArray() : directory(exif, exifAt);
        const auto ifd1At = quint32(exifAt + exifDir.size());
        return QByteArray(big ? "MM" : "II") + u16(42) + u32(ifd0At) +
               QByteArray(ifd0At - 8, '\0') + directory(ifd0, ifd0At, ifd1.isEmpty() ? 0 : ifd1At) +
               exifDir + (ifd1.isEmpty() ? QByteArray() : directory(ifd1, ifd1At));
    }
    QByteArray app1(const QByteArray &t) const
    {
        return segment(0xE1, QByteArray("Exif\0\0", 6) + t);
    }
    QByteArray file(const QList<Entry> &ifd0, const QList<Entry> &exif = {}) const
    {
        return jpeg(app1(tiff(ifd0, exif)));
    }
};

inline QList<QUrl> fileUrls(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

#ifdef QT_WIDGETS_LIB

#include "app/AppController.h"
#include "wizard/PaneController.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>
#include <QWidget>

// The wizard on its real window, shown, with the panes Panes.plist lists; null if the window
// is not shown.
inline std::unique_ptr<AppController> startWizard()
{
    auto controller = std::make_unique<AppController>();
    controller->loadMainWindow();
    QTest::ignoreMessage(QtInfoMsg, "AppController: awakeFromNib");
    controller->setUpForm();
    controller->mainWindow()->show();
    if (!QTest::qWaitForWindowExposed(controller->mainWindow()))
        return nullptr;
    return controller;
}

template <typename Pane> Pane *paneOf(const AppController &controller)
{
    for (PaneController *pane : controller.panes()) {
        if (auto *wanted = qobject_cast<Pane *>(pane))
            return wanted;
    }
    return nullptr;
}

// Drags the URLs over the view and drops them there, proposing a move as file managers do.
// Answers the action the drop ended with, Qt::IgnoreAction when refused; `highlighted` tells
// whether the view lit up while the drag was over it.
template <typename View>
Qt::DropAction dropOnto(View *view, const QList<QUrl> &urls, bool *highlighted = nullptr)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = view->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    if constexpr (requires { view->isHighlighted(); }) {
        if (highlighted)
            *highlighted = view->isHighlighted();
    }
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(view, &leave);
        return Qt::IgnoreAction;
    }
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(view, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

#endif

// What one run of inkveil-batch printed, and its exit status.
struct ToolRun
{
    int exitCode = 0;
    QString out;
    QString err;
};

inline ToolRun runTool(const QStringList &arguments)
{
    ToolRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = BatchCommand::run(QStringList{QStringLiteral("inkveil-batch")} + arguments, out,
                                     err, false);
    out.flush();
    err.flush();
    return run;
}
