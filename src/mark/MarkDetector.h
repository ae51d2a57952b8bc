// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/Result.h"
#include "mark/MarkCode.h"
#include "mark/MarkKey.h"
#include "mark/MarkSignal.h"
#include "mark/MarkTile.h"

#include <QString>

#include <vector>

class QImage;

namespace inkveil {

// What the detector found in a photo.
struct MarkFinding
{
    bool found = false;
    MarkPayload payload;
    // The share of the coded bits read as the payload's code word has them: 1 for a clean mark,
    // toward 0.5 as it fades. 0 when nothing was found.
    double confidence = 0;
};

// Finds the invisible mark made with a key, in a photo that may since have been resized,
// recompressed, cropped, turned by quarter turns or a few degrees, or mirrored.
//
// The photo is shrunk to MarkTile::WorkingSide pixels and whitened (MarkSignal). The tile repeats,
// so the whitened photo correlates with itself at lags of the tile's period: the autocorrelation's
// peaks give candidate periods, that is the scale the photo was resized by. Folding the photo at
// a period adds all its tiles into one; correlating the fold with the key's sync cells, in each
// of the 8 quarter-turn and mirror orientations, tells how well the period fits and gives the
// orientation and the shift (the crop). At the few best-fitting periods the payload cells are
// read and decoded (MarkCode); only a payload whose check bits hold is reported. A copy turned by
// a few degrees shows its tiles' turn in the autocorrelation too: turned back, it is searched
// the same way.
class MarkDetector
{
public:
    explicit MarkDetector(const MarkKey &key);

    MarkFinding find(const QImage &image) const;
    // Reads the photo at the size the detector works at (a JPEG decoded at a reduced size) and
    // finds the mark; fails as the batch's reading of a photo does.
    Result<MarkFinding> findInFile(const QString &path) const;

private:
    // One candidate period's fold in the orientations that best match the sync cells.
    struct Screening
    {
        struct Aligned
        {
            int orientation = 0;
            int dx = 0;
            int dy = 0;
            float score = 0;
            Plane fold;
        };
        std::vector<Aligned> alignments; // best first
        float score() const { return alignments.front().score; }
    };
    // A period to fold at, in working pixels along each axis, and how its fold matched.
    struct Candidate
    {
        float periodX = 0;
        float periodY = 0;
        Screening screening;
    };
    // The mark in a whitened working copy whose tiles lie square to its edges.
    MarkFinding search(const Plane &detail, const Plane &acf) const;
    Screening screened(const Plane &fold) const;
    // The candidate moved to the periods nearby whose fold matches the sync cells best.
    void sharpen(const Plane &detail, Candidate &candidate) const;
    // The screened orientations' payloads, best first; the first whose check bits hold.
    MarkFinding decoded(const Screening &screening) const;

    MarkTile m_tile;
    // The sync cells as the fold samples them (two samples a cell).
    Plane m_syncTemplate;
};

} // namespace inkveil
