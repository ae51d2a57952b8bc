// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imageio/DecimalNumber.h"

namespace inkveil {

DecimalNumber::DecimalNumber(quint32 numerator, quint32 denominator)
{
    if (denominator == 0 || numerator == 0)
        return;

    // The integer part, then one fractional digit per step of the long division, until the
    // remainder is spent or MaxDigits significant digits are held. The remainder stays below
    // the denominator, so ten times it fits in 64 bits.
    const quint32 integerPart = numerator / denominator;
    QByteArray digits = QByteArray::number(integerPart);
    int significant = integerPart != 0 ? int(digits.size()) : 0;
    quint64 remainder = numerator % denominator;
    int exponent = 0;
    while (remainder != 0 && significant < MaxDigits) {
        remainder *= 10;
        const auto digit = static_cast<char>('0' + remainder / denominator);
        remainder %= denominator;
        digits.append(digit);
        --exponent;
        if (significant != 0 || digit != '0')
            ++significant;
    }

    // Round half up on what is left: the next digit would be 5 or more exactly when the
    // remainder is at least half the denominator. A carry out of the first digit lands in
    // the zero integer part, or in a new leading digit.
    if (2 * remainder >= denominator) {
        qsizetype i = digits.size() - 1;
        while (i >= 0 && digits[i] == '9') {
            digits[i] = '0';
            --i;
        }
        if (i >= 0)
            digits[i] = static_cast<char>(digits[i] + 1);
        else
            digits.prepend('1');
    }

    m_digits = digits;
    m_exponent = exponent;
    normalise();
}

DecimalNumber DecimalNumber::fromMantissa(quint64 mantissa, qint8 exponent, bool negative)
{
    DecimalNumber number;
    number.m_digits = QByteArray::number(mantissa);
    number.m_exponent = exponent;
    number.m_negative = negative;
    number.normalise();
    return number;
}

void DecimalNumber::normalise()
{
    qsizetype leading = 0;
    while (leading < m_digits.size() && m_digits[leading] == '0')
        ++leading;
    m_digits.remove(0, leading);

    qsizetype trailing = 0;
    while (trailing < m_digits.size() && m_digits[m_digits.size() - 1 - trailing] == '0')
        ++trailing;
    m_digits.chop(trailing);
    m_exponent += int(trailing);

    if (m_digits.isEmpty()) {
        m_exponent = 0;
        m_negative = false;
    }
}

QString DecimalNumber::toString() const
{
    if (isZero())
        return QStringLiteral("0");

    const QString digits = QString::fromLatin1(m_digits);
    const qsizetype count = digits.size();
    QString text = m_negative ? QStringLiteral("-") : QString();
    if (m_exponent >= 0) {
        text += digits + QString(m_exponent, QLatin1Char('0'));
    } else if (-qsizetype(m_exponent) < count) {
        const qsizetype point = count + m_exponent;
        text += digits.left(point) + QLatin1Char('.') + digits.mid(point);
    } else {
        text += QLatin1String("0.") + QString(-m_exponent - count, QLatin1Char('0')) + digits;
    }
    return text;
}

} // namespace inkveil
