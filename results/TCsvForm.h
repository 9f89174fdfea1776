#pragma once

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// How numbers and fields are written into a CSV file: the machine-readable
// form (",", point) for scripts, or the form a Bulgarian spreadsheet opens
// (";", comma, byte-order mark).
class TCsvForm {
public:
    static TCsvForm machine();
    static TCsvForm spreadsheet();

    // Three decimals; empty for an empty value.
    QString number(std::optional<double> value, int decimals = 3) const;
    // ISO 8601 to the millisecond, the same in both forms; empty for no moment.
    static QString moment(const QDateTime& at);
    QString line(const QStringList& fields) const;
    // The file's bytes: UTF-8, the byte-order mark when the form has one.
    QByteArray bytes(const QStringList& lines) const;

private:
    TCsvForm(QChar separator, QChar decimal, bool bom);

    QChar m_separator;
    QChar m_decimal;
    bool m_bom;
};
