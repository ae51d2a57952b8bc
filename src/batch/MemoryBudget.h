// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>

namespace inkveil {

// Bytes of decoded pixels that the workers of a batch may hold at once. A worker asks for what
// its next photo needs before decoding it and waits until that fits; a photo larger than the
// whole budget waits until nothing else is held and is then processed alone. Workers give back
// what they hold before asking again, so waiting never holds anything up.
class MemoryBudget
{
public:
    explicit MemoryBudget(qint64 limit);
    Q_DISABLE_COPY_MOVE(MemoryBudget)

    // Blocks until bytes fit beside what is held (or, when they exceed the limit, until nothing
    // is held), then holds them.
    void acquire(qint64 bytes);
    void release(qint64 bytes);

    qint64 limit() const { return m_limit; }
    // The most held at any one time so far.
    qint64 peak() const;

private:
    const qint64 m_limit;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    qint64 m_held = 0;
    qint64 m_peak = 0;
};

} // namespace inkveil
