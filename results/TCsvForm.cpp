#include "results/TCsvForm.h"

#include <cmath>

TCsvForm::TCsvForm(QChar separator, QChar decimal, bool bom)
    : m_separator(separator), m_decimal(decimal), m_bom(bom) {}

TCsvForm TCsvForm::machine() {
    return TCsvForm(QLatin1Char(','), QLatin1Char('.'), false);
}

TCsvForm TCsvForm::spreadsheet() {
    return TCsvForm(QLatin1Char(';'), QLatin1Char(','), true);
}

QString TCsvForm::number(std::optional<double> value, int decimals) const {
    if (!value || !std::isfinite(*value))
        return {};
    // QString::number never follows the locale, so the text is the same everywhere.
    QString text = QString::number(*value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2)
        text.remove(0, 1); // a tiny negative value rounds to zero, not to "-0.000"
    if (m_decimal != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), m_decimal);
    return text;
}

QString TCsvForm::moment(const QDateTime& at) {
    return at.isValid() ? at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

QString TCsvForm::line(const QStringList& fields) const {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields) {
        if (f.contains(m_separator) || f.contains(QLatin1Char('"')) ||
            f.contains(QLatin1Char('\n')) || f.contains(QLatin1Char('\r')))
            quoted.append(QLatin1Char('"') + QString(f).replace("\"", "\"\"") + QLatin1Char('"'));
        else
            quoted.append(f);
    }
    return quoted.join(m_separator);
}

QByteArray TCsvForm::bytes(const QStringList& lines) const {
    QByteArray out = m_bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (const QString& l : lines)
        out += l.toUtf8() + '\n';
    return out;
}
