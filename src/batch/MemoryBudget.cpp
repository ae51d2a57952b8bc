// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch/MemoryBudget.h"

#include <algorithm>

namespace inkveil {

MemoryBudget::MemoryBudget(const qint64 limit)
    : m_limit(std::max<qint64>(1, limit))
{}

void MemoryBudget::acquire(const qint64 bytes)
{
    if (bytes <= 0)
        return;
    std::unique_lock lock(m_mutex);
    m_released.wait(lock, [&] { return m_held == 0 || m_held + bytes <= m_limit; });
    m_held += bytes;
    m_peak = std::max(m_peak, m_held);
}

void MemoryBudget::release(const qint64 bytes)
{
    if (bytes <= 0)
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_held = std::max<qint64>(0, m_held - bytes);
    }
    m_released.notify_all();
}

qint64 MemoryBudget::peak() const
{
    const std::lock_guard lock(m_mutex);
    return m_peak;
}

} // namespace inkveil
