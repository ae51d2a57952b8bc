// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSize>

#include <array>
#include <vector>

namespace inkveil {

class MarkKey;

// The keyed square tile the mark repeats over the whole photo: Side x Side cells, each +1 or -1
// times a strength. A quarter of the cells, at places only the key knows, hold a fixed keyed
// pattern the detector aligns on (sync cells); the others each carry one bit of the coded payload
// (every coded bit in two or three cells far apart), times a keyed sign.
//
// Between cell centres the pattern is interpolated bilinearly, so it holds no sharp edges that
// JPEG would round off or the eye would pick out. Its size is tied to the photo's: a cell is
// 3/1024 of the long side (at least 2 pixels), so the tile repeats about ten times along the long
// side whatever the photo's size, and looks the same to a detector that first shrinks the photo
// to 1024 pixels.
class MarkTile
{
public:
    static constexpr int Side = 32;
    static constexpr int Cells = Side * Side;
    static constexpr int SyncCells = Cells / 4;
    // The detector's working size: the long side of the shrunk photo.
    static constexpr int WorkingSide = 1024;
    static constexpr float CellsPerWorkingSide = WorkingSide / 3.0f;

    explicit MarkTile(const MarkKey &key);

    // Pixels per cell in an output of this size.
    static float cellSize(QSize imageSize);

    // Cell values for a code word (MarkCode::Length bits): +1 or -1 for every cell.
    std::array<float, Cells> values(const std::vector<quint8> &codeWord) const;
    // Cell values with only the sync cells set (the others 0): what the detector aligns on.
    const std::array<float, Cells> &syncValues() const { return m_sync; }
    // For every cell, the coded bit it carries, or -1 for a sync cell.
    const std::array<int, Cells> &bitOfCell() const { return m_bitOfCell; }
    // For every cell, its keyed sign.
    const std::array<float, Cells> &chips() const { return m_chips; }
    // The key's scrambling of the payload bits.
    quint64 scramble() const { return m_scramble; }

private:
    std::array<float, Cells> m_sync{};
    std::array<int, Cells> m_bitOfCell{};
    std::array<float, Cells> m_chips{};
    quint64 m_scramble = 0;
};

} // namespace inkveil
