// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "batch/BatchEngine.h"

#include <QString>

namespace inkveil {

// What a run has done so far, counted from the results of its photos, and the closing line
// that the batch pane and the command-line tool end a run with.
class BatchTally
{
public:
    explicit BatchTally(int total = 0)
        : m_total(total)
    {}

    void add(const BatchEngine::FileResult &result);

    int total() const { return m_total; }
    int done() const { return m_written + m_failed + m_skipped; }
    int written() const { return m_written; }
    int failed() const { return m_failed; }
    int skipped() const { return m_skipped; }
    int renamed() const { return m_renamed; }
    // Photos on which a watermark text shrank to stay within its maximum width.
    int shrunk() const { return m_shrunk; }

    // "12 written, 1 failed, 3 skipped." after a whole run; "Stopped after 4 of 40: 4 written."
    // after a stop, naming failures and skips only when there were some. Photos whose text
    // shrank to fit are named after it when there were some: "... Text shrunk to fit on 2
    // photos."

    QString closingLine(bool stopped) const;
    // The same with the time the run took and its speed, as the command-line tool ends a run:
    // "8 written, 0 failed, 0 skipped in 1.9 s, 4.2 photos/s"; "Stopped after 4 of 40: 4 written
    // in 1.2 s, 3.3 photos/s"; "...; text shrunk to fit on 2 photos".
    QString closingLine(bool stopped, qint64 elapsedMs) const;
    // "1.9 s" below a minute, "2 min 05 s" below an hour, "1 h 02 min" above.
    static QString elapsedText(qint64 elapsedMs);

private:
    int m_total = 0;
    int m_written = 0;
    int m_failed = 0;
    int m_skipped = 0;
    int m_renamed = 0;
    int m_shrunk = 0;

    QString counts(bool stopped) const;
    // "text shrunk to fit on 2 photos", or empty.
    QString shrunkNote() const;
};

} // namespace inkveil
