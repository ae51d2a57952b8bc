// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What several tests need: files written and read whole, photos of one colour at a chosen
// resolution, colours compared with room for rounding, and, for the widget tests, the wizard on
// its real window.

#include "PhotoBuilders.h"
#include "cli/BatchCommand.h"

#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTextStream>
#include <QUrl>

#include <cstdlib>

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
