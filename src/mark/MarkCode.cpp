// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mark/MarkCode.h"

#include <itpp/comm/convcode.h>
#include <itpp/comm/crc.h>

namespace inkveil {

namespace {

constexpr int PayloadBits = 64;

itpp::Convolutional_Code convolutionalCode()
{
    itpp::Convolutional_Code code;
    itpp::ivec generators(3);
    generators(0) = 0133;
    generators(1) = 0165;
    generators(2) = 0171;
    code.set_generator_polynomials(generators, 7);
    return code;
}

// The 96 bits before the convolutional code, each XORed with a bit of the key's stream so that
// the check bits only hold under the right key.
itpp::bvec scrambled(const itpp::bvec &bits, quint64 scramble)
{
    itpp::bvec out = bits;
    quint64 state = scramble | 1;
    for (int i = 0; i < bits.size(); ++i) {
        // xorshift64: a fixed stream per key; the secrecy is the key's, not the generator's.
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        out(i) = bits(i) + itpp::bin(static_cast<int>(state & 1));
    }
    return out;
}

itpp::bvec payloadBits(const MarkPayload &payload)
{
    const quint64 word = (payload.id & MarkPayload::MaxId) << MarkPayload::SerialBits |
                         (payload.serial & MarkPayload::SerialMask);
    itpp::bvec bits(PayloadBits);
    for (int i = 0; i < PayloadBits; ++i)
        bits(i) = itpp::bin(static_cast<int>(word >> (PayloadBits - 1 - i) & 1));
    return bits;
}

} // namespace

std::vector<quint8> MarkCode::encode(const MarkPayload &payload, quint64 scramble)
{
    const itpp::CRC_Code crc(std::string("CRC-32"));
    itpp::Convolutional_Code code = convolutionalCode();
    itpp::bvec coded;
    code.encode_tail(scrambled(crc.encode(payloadBits(payload)), scramble), coded);
    std::vector<quint8> out(static_cast<size_t>(coded.size()));
    for (int i = 0; i < coded.size(); ++i)
        out[static_cast<size_t>(i)] = static_cast<quint8>(static_cast<int>(coded(i)));
    return out;
}

std::optional<MarkPayload> MarkCode::decode(const std::vector<float> &soft, quint64 scramble,
                                            double *agreement)
{
    if (soft.size() != size_t(Length))
        return std::nullopt;
    itpp::vec received(Length);
    for (int i = 0; i < Length; ++i)
        received(i) = soft[static_cast<size_t>(i)];
    itpp::Convolutional_Code code = convolutionalCode();
    const itpp::bvec decoded = code.decode_tail(received);
    const itpp::CRC_Code crc(std::string("CRC-32"));
    itpp::bvec bits;
    if (!crc.decode(scrambled(decoded, scramble), bits))
        return std::nullopt;
    if (agreement) {
        itpp::bvec recoded;
        code.encode_tail(decoded, recoded);
        int same = 0;
        for (int i = 0; i < Length; ++i)
            same += (received(i) < 0) == (recoded(i) == itpp::bin(1));
        *agreement = double(same) / Length;
    }
    quint64 word = 0;
    for (int i = 0; i < PayloadBits; ++i)
        word = word << 1 | quint64(bits(i) == itpp::bin(1));
    return MarkPayload{word >> MarkPayload::SerialBits,
                       static_cast<quint32>(word & MarkPayload::SerialMask)};
}

} // namespace inkveil
