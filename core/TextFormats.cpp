#include "core/TextFormats.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <string>

TFormats::TFormats(QLocale locale)
    : m_locale(std::move(locale)), m_decimal(m_locale.decimalPoint().at(0)) {}

std::optional<double> TFormats::parse(const QString& text, QChar separator, bool alsoPoint) {
    const QString t = text.trimmed();
    QString ascii;
    ascii.reserve(t.size());
    bool seenSeparator = false;
    for (QChar c : t) {
        if (c == separator || (alsoPoint && c == QLatin1Char('.'))) {
            if (seenSeparator)
                return std::nullopt;
            seenSeparator = true;
            ascii.append(QLatin1Char('.'));
        } else if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
            return std::nullopt; // the other separator
        } else if (c.unicode() < 0x80) {
            ascii.append(c);
        } else {
            return std::nullopt;
        }
    }
    static const QRegularExpression shape(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!shape.match(ascii).hasMatch())
        return std::nullopt;
    // std::from_chars reads the point whatever the C library's locale says;
    // strtod would follow the locale the toolkit sets from the system, and
    // under a decimal comma it stops at the point.
    std::string s = ascii.toStdString();
    if (!s.empty() && s.front() == '+')
        s.erase(0, 1);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> TFormats::toDouble(const QString& text) const {
    return parse(text, m_decimal, false);
}

std::optional<double> TFormats::controllerNumber(const QString& text) const {
    return parse(text, m_decimal, true);
}

QString TFormats::fixed(double value, int decimals) const {
    QString s = QString::number(value, 'f', decimals);
    // A value that rounds to zero is written without a sign.
    static const QRegularExpression nonZero(QStringLiteral("[1-9]"));
    if (s.startsWith(QLatin1Char('-')) && !s.contains(nonZero))
        s.remove(0, 1);
    if (m_decimal != QLatin1Char('.'))
        s.replace(QLatin1Char('.'), m_decimal);
    return s;
}

QString TFormats::shortDateFormat() const {
    return m_locale.dateFormat(QLocale::ShortFormat);
}

QString TFormats::longTimeFormat() const {
    QString f = m_locale.timeFormat(QLocale::LongFormat);
    // Drop the time zone and any fraction of a second, outside quoted text.
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out.append(c);
            continue;
        }
        if (!quoted && (c == QLatin1Char('t') || c == QLatin1Char('z')))
            continue;
        out.append(c);
    }
    static const QRegularExpression strayDot(QStringLiteral("(s)[.,](\\s|$)"));
    out.replace(strayDot, QStringLiteral("\\1\\2"));
    return out.trimmed();
}

QString TFormats::dateTimeText(const QDateTime& when) const {
    const QString date = m_locale.toString(when.date(), shortDateFormat());
    const QTime t = when.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return date;
    return date + QLatin1Char(' ') + m_locale.toString(t, longTimeFormat());
}

namespace {

// std::to_chars writes a point whatever the C library's locale says
// (snprintf's %f and %G would write the locale's separator).
std::string chars(double value, std::chars_format form, int precision) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, form, precision);
    return std::string(buf, r.ptr);
}

void dropTrailingZeros(std::string& s) {
    if (s.find('.') == std::string::npos)
        return;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
}

} // namespace

QString TFormats::sqlFloat(double value) {
    if (value == 0)
        return QStringLiteral("0");
    const double mag = std::fabs(value);
    if (mag < 0.0001 || mag >= 1e15) {
        // Scientific: mantissa with up to 15 significant digits, no padding of the exponent.
        const std::string s = chars(value, std::chars_format::scientific, 14);
        const auto e = s.find('e');
        std::string mant = s.substr(0, e);
        dropTrailingZeros(mant);
        const char* exp = s.c_str() + e + 1;
        if (*exp == '+')
            ++exp;
        int n = 0;
        std::from_chars(exp, s.c_str() + s.size(), n);
        return QString::fromStdString(mant) + QStringLiteral("E") + QString::number(n);
    }
    std::string s = chars(value, std::chars_format::general, 15);
    if (s.find('e') != std::string::npos) {
        // The general form chose an exponent for a number we want plain: write it with fixed
        // digits.
        const int intDigits = static_cast<int>(std::floor(std::log10(mag))) + 1;
        s = chars(value, std::chars_format::fixed, std::max(0, 15 - intDigits));
        dropTrailingZeros(s);
    }
    return QString::fromStdString(s);
}

QString TFormats::generalText(double value) const {
    QString s = sqlFloat(value);
    if (m_decimal != QLatin1Char('.'))
        s.replace(QLatin1Char('.'), m_decimal);
    return s;
}

QString TFormats::sqlTimestamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString TFormats::sqlDate(const QDate& day) {
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}
