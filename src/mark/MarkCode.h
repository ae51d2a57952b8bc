// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <optional>
#include <vector>

namespace inkveil {

// What one output's mark says: the owner's mark number and the photo's serial in its batch.
struct MarkPayload
{
    static constexpr int IdBits = 40;
    static constexpr int SerialBits = 24;
    static constexpr quint64 MaxId = (quint64(1) << IdBits) - 1;
    static constexpr quint32 SerialMask = (quint32(1) << SerialBits) - 1;

    quint64 id = 0;
    quint32 serial = 0;
    bool operator==(const MarkPayload &) const = default;
};

// The payload's 64 bits as the tile carries them: scrambled with the key, followed by 32 check
// bits (CRC-32, likewise scrambled) and protected by a rate-1/3 convolutional code (K = 7), which
// the detector decodes with soft decisions. A wrong payload would have to pass the check bits of
// a key it does not know: with the few dozen decodings a photo gets, about one photo in 10^8.
class MarkCode
{
public:
    static constexpr int CheckBits = 32;
    static constexpr int Length = (64 + CheckBits + 6) * 3;

    // Length bits, 0 or 1.
    static std::vector<quint8> encode(const MarkPayload &payload, quint64 scramble);
    // The payload from soft values (positive for 0, negative for 1; any scale), or nothing when
    // the check bits disagree. agreement: the share of the soft values whose sign matches the
    // code word decoded, 0.5 for noise and 1 for a clean mark.
    static std::optional<MarkPayload> decode(const std::vector<float> &soft, quint64 scramble,
                                             double *agreement = nullptr);
};

} // namespace inkveil
