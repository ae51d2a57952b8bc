// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace inkveil {

// An exact decimal number: significant decimal digits scaled by a power of ten, with a sign.
// Cameras record the f-number and the focal length as fractions (28/10, 50/1); dividing them
// in decimal gives the text a photographer expects ("2.8", "50") where a binary float would
// not. The value is held normalised (no leading or trailing zero digits), so two numbers are
// equal exactly when their values are.
class DecimalNumber
{
public:
    // The most significant digits a number keeps; a longer quotient is rounded to this many.
    static constexpr int MaxDigits = 38;

    // Zero.
    DecimalNumber() = default;
    // numerator / denominator, computed digit by digit in decimal: exact when the quotient ends
    // within MaxDigits significant digits, else rounded half up to MaxDigits of them. A zero
    // denominator has no quotient and gives zero; callers that must tell it from a real zero
    // look at the denominator themselves.
    DecimalNumber(quint32 numerator, quint32 denominator);
    // mantissa x 10^exponent, negated when asked (zero is never negative).
    static DecimalNumber fromMantissa(quint64 mantissa, qint8 exponent, bool negative = false);

    bool isZero() const { return m_digits.isEmpty(); }
    bool isNegative() const { return m_negative; }

    // Plain decimal notation: "." as the point, no exponent, no trailing zeros, a leading "0"
    // before the point when the value is below one: "2.8", "50", "0.008", "0", "-1.5".
    QString toString() const;

    bool operator==(const DecimalNumber &other) const = default;

private:
    // Drops leading and trailing zero digits (moving the exponent) and gives zero one form.
    void normalise();

    // Significant digits as ASCII, most significant first; empty for zero.
    QByteArray m_digits;
    // The power of ten the digits are scaled by: value = digits x 10^exponent.
    int m_exponent = 0;
    bool m_negative = false;
};

} // namespace inkveil
