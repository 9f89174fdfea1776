#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

// Every conversion between numbers or timestamps and text goes through here,
// so the whole program follows one set of formats: the operator's (from the
// system locale) for what is shown and logged, and one fixed form for
// statement literals.
class TFormats {
public:
    explicit TFormats(QLocale locale = QLocale::system());

    QChar decimalSeparator() const { return m_decimal; }

    // A decimal number with optional blanks around it, a sign, the locale's
    // decimal separator and an exponent; anything else is no number.
    std::optional<double> toDouble(const QString& text) const;

    // As toDouble, but a point is accepted as well as the locale's separator:
    // a controller writes its numbers with a point whatever our locale is.
    std::optional<double> controllerNumber(const QString& text) const;

    // "0.00" with the locale's separator.
    QString format00(double value) const { return fixed(value, 2); }
    // A fixed number of decimals, the locale's separator, no thousands separator.
    QString fixed(double value, int decimals) const;

    // The short date, then a blank and the long time unless the time of day is 00:00:00.
    QString dateTimeText(const QDateTime& when) const;
    QString shortDateFormat() const;
    // The locale's long time format without its time zone and fractions of a second.
    QString longTimeFormat() const;

    // Statement literals never follow the locale.
    static QString sqlFloat(double value);              // general, 15 significant digits, point
    static QString sqlTimestamp(const QDateTime& when); // 'YYYY-MM-DD HH:MM:SS' without quotes
    static QString sqlDate(const QDate& day);           // 'YYYY-MM-DD' without quotes

    // The general text of a number as a program writes it (up to 15
    // significant digits) with the locale's separator.
    QString generalText(double value) const;

    const QLocale& locale() const { return m_locale; }

private:
    static std::optional<double> parse(const QString& text, QChar separator, bool alsoPoint);

    QLocale m_locale;
    QChar m_decimal;
};
