#include "db/TSchemaScript.h"

#include <QRegularExpression>

namespace TSchemaScript {

namespace {

// What isql does itself rather than the server.
bool forIsqlOnly(const QString& statement) {
    static const QRegularExpression own(
        QStringLiteral("^(SET\\s+SQL\\s+DIALECT\\s+\\d+|COMMIT(\\s+WORK)?)$"),
        QRegularExpression::CaseInsensitiveOption);
    return own.match(statement).hasMatch();
}

} // namespace

QStringList statements(const QString& script) {
    static const QRegularExpression setTerm(QStringLiteral("^SET\\s+TERM\\s+(\\S+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    QString terminator = QStringLiteral(";");
    QString current;
    const auto finish = [&] {
        const QString statement = current.trimmed();
        current.clear();
        if (statement.isEmpty() || forIsqlOnly(statement))
            return;
        if (const auto m = setTerm.match(statement); m.hasMatch()) {
            terminator = m.captured(1);
            return;
        }
        out.append(statement);
    };
    for (qsizetype i = 0; i < script.size();) {
        const QStringView rest = QStringView(script).mid(i);
        if (rest.startsWith(u"/*")) {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? script.size() : end + 2;
            current += QLatin1Char(' ');
        } else if (rest.startsWith(u"--")) {
            const qsizetype end = script.indexOf(QLatin1Char('\n'), i);
            i = end < 0 ? script.size() : end;
        } else if (rest.front() == QLatin1Char('\'') || rest.front() == QLatin1Char('"')) {
            // A quote inside is doubled, so the text simply ends at the next quote.
            const QChar quote = rest.front();
            const qsizetype end = script.indexOf(quote, i + 1);
            const qsizetype stop = end < 0 ? script.size() : end + 1;
            current += script.mid(i, stop - i);
            i = stop;
        } else if (rest.startsWith(terminator)) {
            finish();
            i += terminator.size();
        } else {
            current += script.at(i);
            ++i;
        }
    }
    finish();
    return out;
}

} // namespace TSchemaScript
