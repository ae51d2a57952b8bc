// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <atomic>

namespace inkveil {

// Lets long work deep inside one photo (a decoder reading tile after tile) notice that its run
// was asked to stop, without every call in between passing a flag along. The thread that works
// on the photo names the flag that stays true while the run goes on, for as long as the scope
// lives; scopes nest.
class StopScope
{
public:
    explicit StopScope(const std::atomic<bool> &running);
    ~StopScope();
    Q_DISABLE_COPY_MOVE(StopScope)

    // The flag of this thread's innermost scope, or null outside any: work that outlives the
    // call (on a library's own threads) takes it along.
    static const std::atomic<bool> *current();
    static bool requested(const std::atomic<bool> *running)
    {
        return running && !running->load(std::memory_order_relaxed);
    }

private:
    const std::atomic<bool> *const m_outer;
};

} // namespace inkveil
