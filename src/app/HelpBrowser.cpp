// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/HelpBrowser.h"

#include "imageio/ImageFormat.h"
#include "imageio/ImageToolkit.h"
#include "render/PlaceholderExpander.h"

#include <QFile>
#include <QTextDocument>

namespace inkveil {

namespace {

// "A, B and C".
QString spokenList(const QStringList &items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.first(items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           items.last();
}

// A format by its first name, as people write it.
QString formatTitle(const ImageFormatInfo &row)
{
    return QString::fromLatin1(row.names.front()).toUpper();
}

QString readableFormats()
{
    const QStringList &readable = ImageToolkit::imageFileTypes();
    QStringList titles;
    for (const ImageFormatInfo &row : ImageFormats::all()) {
        if (readable.contains(QString::fromLatin1(row.names.front())))
            titles.append(formatTitle(row));
    }
    return spokenList(titles);
}

QString writableFormats()
{
    QStringList titles;
    for (const ImageFormatInfo &row : ImageFormats::all()) {
        if (row.writable)
            titles.append(formatTitle(row));
    }
    return spokenList(titles);
}

QString placeholders()
{
    QStringList codes;
    for (const QString &placeholder : PlaceholderExpander::placeholders())
        codes.append(QStringLiteral("<code>%1</code>").arg(placeholder.toHtmlEscaped()));
    return codes.join(QStringLiteral(", "));
}

} // namespace

HelpBrowser::HelpBrowser(QWidget *parent)
    : QTextBrowser(parent)
{}

QString HelpBrowser::filledIn(QString html)
{
    html.replace(QLatin1String("<!--readable-formats-->"), readableFormats());
    html.replace(QLatin1String("<!--writable-formats-->"), writableFormats());
    html.replace(QLatin1String("<!--placeholders-->"), placeholders());
    return html;
}

QString HelpBrowser::anchorFor(const QObject *pane)
{
    if (!pane)
        return {};
    const QString name = QString::fromLatin1(pane->metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    if (type != QTextDocument::HtmlResource || !name.isLocalFile())
        return QTextBrowser::loadResource(type, name);
    QFile page(name.toLocalFile());
    if (!page.open(QIODevice::ReadOnly))
        return {};
    return filledIn(QString::fromUtf8(page.readAll()));
}

} // namespace inkveil
