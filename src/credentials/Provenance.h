// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace inkveil {

// What one output's content credentials say about it: what it is, what the batch did to it,
// who made it and what it was made from.
struct Provenance
{
    struct Action
    {
        // A C2PA action name, "c2pa.resized".
        QString action;
        QString description;
    };

    // The output's file name and its media type ("image/jpeg").
    QString title;
    QString format;
    // What was done after opening the source, in order.
    QList<Action> actions;
    // Signed as the work's author; none when empty.
    QString author;

    // The source photo, the parent ingredient.
    QString sourceTitle;
    QString sourceFormat;
    // The source's own manifest store, carried into ours when it is to be kept, and whether
    // it validated.
    QByteArray sourceStore;
    bool sourceValid = false;
};

} // namespace inkveil
