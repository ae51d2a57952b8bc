// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/StopScope.h"

namespace inkveil {

namespace {
thread_local const std::atomic<bool> *innermost = nullptr;
} // namespace

StopScope::StopScope(const std::atomic<bool> &running)
    : m_outer(innermost)
{
    innermost = &running;
}

StopScope::~StopScope()
{
    innermost = m_outer;
}

const std::atomic<bool> *StopScope::current()
{
    return innermost;
}

} // namespace inkveil
