#include "TextFormats.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    const std::string s = ascii.toStdString();
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v))
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

QString TFormats::sqlFloat(double value) {
    if (value == 0)
        return QStringLiteral("0");
    char buf[64];
    const double mag = std::fabs(value);
    if (mag < 0.0001 || mag >= 1e15) {
        // Scientific: mantissa with up to 15 significant digits, no padding of the exponent.
        std::snprintf(buf, sizeof buf, "%.14E", value);
        std::string s(buf);
        const auto e = s.find('E');
        std::string mant = s.substr(0, e);
        int exp = std::atoi(s.c_str() + e + 1);
        if (mant.find('.') != std::string::npos) {
            while (!mant.empty() && mant.back() == '0')
                mant.pop_back();
            if (!mant.empty() && mant.back() == '.')
                mant.pop_back();
        }
        return QString::fromStdString(mant) + QStringLiteral("E") + QString::number(exp);
    }
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s(buf);
    if (s.find('E') != std::string::npos) {
        // %G chose an exponent for a number we want plain: write it with fixed digits.
        const int intDigits = static_cast<int>(std::floor(std::log10(mag))) + 1;
        std::snprintf(buf, sizeof buf, "%.*f", std::max(0, 15 - intDigits), value);
        s = buf;
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0')
                s.pop_back();
            if (s.back() == '.')
                s.pop_back();
        }
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
