#include "acquisition/TReplyForm.h"

#include <charconv>
#include <cmath>
#include <string>

namespace TReplyForm {

namespace {

// Bytes from the line go into log lines: control characters are shown as
// escapes so that every line stays readable text.
QString printable(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString notANumber(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(printable(text));
}

// Only what a decimal number can be made of goes to the converter: no "inf",
// "nan", hexadecimal or locale-specific text can slip through it.
bool decimalShape(const std::string& s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        bool exponent = false;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            exponent = true;
        }
        if (!exponent)
            return false;
    }
    return i == s.size();
}

std::optional<double> convert(const QString& text, QChar separator) {
    QString t = text.trimmed();
    if (separator != QLatin1Char('.')) {
        if (t.contains(QLatin1Char('.')) && t.contains(separator))
            return std::nullopt;
        t.replace(separator, QLatin1Char('.'));
    }
    for (QChar c : t) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }
    std::string s = t.toStdString();
    if (!decimalShape(s))
        return std::nullopt;
    const char* first = s.data();
    if (*first == '+')
        ++first;
    double v = 0;
    const auto [end, ec] = std::from_chars(first, s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range)
        return HUGE_VAL; // refused by the caller as not finite
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

} // namespace

std::optional<QString> value(const QString& reply) {
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'));
    if (cr < 6)
        return std::nullopt;
    return reply.mid(cr - 5, 5);
}

std::optional<QString> anyFive(const QString& reply) {
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'));
    if (cr < 5)
        return std::nullopt;
    return reply.mid(cr - 5, 5);
}

std::optional<double> plainNumber(const QString& text, QChar separator) {
    const auto v = convert(text, separator);
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    return v;
}

TReading number(const QString& text) {
    const auto v = convert(text, QLatin1Char('.'));
    if (!v)
        return {std::nullopt, notANumber(text)};
    if (!std::isfinite(*v))
        return {std::nullopt, QStringLiteral("'%1' is not a finite number").arg(printable(text))};
    if (std::fabs(*v) > kMaxRaw)
        return {std::nullopt, QStringLiteral("'%1' is beyond the controller's five-character range")
                                  .arg(printable(text))};
    return {*v, QString()};
}

TReading reading(const QString& reply) {
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'));
    if (cr < 0)
        return {std::nullopt, QStringLiteral("no carriage return in the reply")};
    if (cr < 6)
        return {std::nullopt,
                QStringLiteral("carriage return at position %1, before position 7").arg(cr + 1)};
    return number(reply.mid(cr - 5, 5));
}

} // namespace TReplyForm
