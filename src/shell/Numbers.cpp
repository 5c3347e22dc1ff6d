#include "shell/Numbers.h"

#include <cmath>
#include <limits>

namespace {
bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

double RadixPrefixed(const QString& s, qsizetype i, int radix)
{
    // Hex and octal literals are 16-bit when they fit, as a typed "&HFFFF" means -1.
    quint64 v = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (IsBlank(c))
            continue;
        int d = -1;
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            d = u - u'0';
        else if (u >= u'a' && u <= u'f')
            d = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            d = u - u'A' + 10;
        if (d < 0 || d >= radix)
            break;
        v = v * radix + static_cast<quint64>(d);
        any = true;
        if (v > 0xFFFFFFFFull)
            break;
    }
    if (!any)
        return 0.0;
    if (v <= 0xFFFF)
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(v)));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
}
} // namespace

double LeadingNumber(const QString& text, const QLocale& locale)
{
    const QString decimalMark = locale.decimalPoint();
    // Collect the accepted characters (blanks dropped) into a plain C-locale number text.
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i + 1 < text.size() && text[i] == u'&') {
        const QChar p = text[i + 1].toUpper();
        if (p == u'H')
            return RadixPrefixed(text, i + 2, 16);
        if (p == u'O')
            return RadixPrefixed(text, i + 2, 8);
    }
    QByteArray num;
    bool digits = false;
    bool dot = false;
    bool exponent = false;
    bool expDigits = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsBlank(c))
            continue;
        if (c.isDigit() && c.unicode() < 128) {
            num += static_cast<char>(c.unicode());
            if (exponent)
                expDigits = true;
            else
                digits = true;
        } else if ((c == u'+' || c == u'-') && (num.isEmpty() || (exponent && num.endsWith('e')))) {
            num += static_cast<char>(c.unicode());
        } else if ((c == u'.' || (decimalMark.size() == 1 && c == decimalMark[0])) && !dot && !exponent) {
            num += '.';
            dot = true;
        } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && digits && !exponent) {
            num += 'e';
            exponent = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    if (exponent && !expDigits) {
        // A dangling exponent mark ("1e", "1e-") does not count.
        while (!num.isEmpty() && (num.endsWith('e') || num.endsWith('+') || num.endsWith('-')))
            num.chop(1);
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0.0;
    return v;
}

int32_t RoundHalfEven(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::nearbyint(v); // default rounding mode: halves to even
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}
