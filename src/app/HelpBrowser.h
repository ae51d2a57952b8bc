// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QTextBrowser>

namespace inkveil {

// The help window. The bundled page leaves the lists that change with the program (the formats
// read and written, the placeholders) as marks; they are filled in from the tables the code
// itself uses, so help cannot fall behind them.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpBrowser(QWidget *parent = nullptr);

    // The page with each mark replaced: <!--readable-formats-->, <!--writable-formats--> and
    // <!--placeholders-->.
    static QString filledIn(QString html);

    // The anchor of a pane's section: its class name without the namespace.
    static QString anchorFor(const QObject *pane);

    QVariant loadResource(int type, const QUrl &name) override;
};

} // namespace inkveil
