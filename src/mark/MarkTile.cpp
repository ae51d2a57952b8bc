// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkTile.h"

#include "mark/MarkCode.h"
#include "mark/MarkKey.h"

#include <algorithm>
#include <numeric>
#include <random>

namespace inkveil {

MarkTile::MarkTile(const MarkKey &key)
    : m_scramble(key.derive("payload"))
{
    // std::mt19937_64's stream is fixed by the standard; its distributions are not, so the
    // shuffle and the signs below take its raw output.
    std::mt19937_64 random(key.derive("tile"));
    std::array<int, Cells> order{};
    std::iota(order.begin(), order.end(), 0);
    for (int i = Cells - 1; i > 0; --i)
        std::swap(order[size_t(i)], order[size_t(random() % quint64(i + 1))]);
    for (int cell = 0; cell < Cells; ++cell)
        m_chips[size_t(cell)] = (random() >> 63) != 0 ? 1.0f : -1.0f;
    for (int i = 0; i < Cells; ++i) {
        const auto cell = size_t(order[size_t(i)]);
        const bool sync = i < SyncCells;
        m_bitOfCell[cell] = sync ? -1 : (i - SyncCells) % MarkCode::Length;
        m_sync[cell] = sync ? m_chips[cell] : 0.0f;
    }
}

float MarkTile::cellSize(QSize imageSize)
{
    const int longSide = std::max(imageSize.width(), imageSize.height());
    return std::max(2.0f, float(longSide) / CellsPerWorkingSide);
}

std::array<float, MarkTile::Cells> MarkTile::values(const std::vector<quint8> &codeWord) const
{
    std::array<float, Cells> out{};
    for (size_t cell = 0; cell < size_t(Cells); ++cell) {
        const int bit = m_bitOfCell[cell];
        out[cell] = bit < 0                 ? m_chips[cell]
                    : codeWord[size_t(bit)] ? -m_chips[cell]
                                            : m_chips[cell];
    }
    return out;
}

} // namespace inkveil
