// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/Printable.h"

namespace inkveil {

namespace {

// Bidirectional embeddings, overrides and isolates, and the marks.
bool reordersText(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString printable(const QString &text)
{
    QString result;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
        else if (reordersText(code))
            result += QStringLiteral("\\u{%1}").arg(uint(code), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

} // namespace inkveil
