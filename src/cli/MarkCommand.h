// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>

class QTextStream;

namespace inkveil {

// inkveil-batch --detect: looks for the invisible mark made with a key in each photo and prints
// one line a photo: "PATH: mark N serial S", "PATH: no mark" or "PATH: can't be read: REASON".
class MarkCommand
{
public:
    // keyPath: the key file, or empty for the one in the user's config folder. reportPath: also
    // write a JSON line a photo there (path, found, mark, serial, confidence), or empty. Answers
    // 0 when every photo was read, 1 when some could not be, 2 when the key or the report can't
    // be used.
    static int detect(const QStringList &paths, const QString &keyPath, const QString &reportPath,
                      QTextStream &out, QTextStream &err);
};

} // namespace inkveil
