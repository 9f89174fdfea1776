#include "FbApi.h"

#include "Win1251.h"

using namespace Firebird;

namespace fb {

IMaster* master() {
    static IMaster* m = fb_get_master_interface();
    return m;
}

IUtil* util() {
    return master()->getUtilInterface();
}

QString errorText(IStatus* status) {
    char buf[4096];
    util()->formatStatus(buf, sizeof buf, status);
    // The client separates the texts with "\n-"; the program shows them one per line.
    QString text = Win1251::decode(QByteArray(buf));
    text.replace(QStringLiteral("\n-"), QStringLiteral("\n"));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString out = lines.join(QStringLiteral("\r\n")).trimmed();
    while (out.endsWith(QLatin1Char('.')))
        out.chop(1);
    return out;
}

void rethrow(const FbException& e) {
    throw EDatabaseError(errorText(e.getStatus()));
}

Status::Status() : m_status(master()->getStatus()), m_wrapper(m_status) {}

Status::~Status() {
    m_status->dispose();
}

ISC_TIMESTAMP encodeTimestamp(const QDateTime& when) {
    const QDate d = when.date();
    const QTime t = when.time();
    ISC_TIMESTAMP ts;
    ts.timestamp_date = util()->encodeDate(d.year(), d.month(), d.day());
    ts.timestamp_time = util()->encodeTime(t.hour(), t.minute(), t.second(), t.msec() * 10);
    return ts;
}

QDate decodeDate(ISC_DATE d) {
    unsigned y = 0, m = 0, day = 0;
    util()->decodeDate(d, &y, &m, &day);
    return QDate(int(y), int(m), int(day));
}

QDateTime decodeTimestamp(const ISC_TIMESTAMP& ts) {
    unsigned h = 0, mi = 0, s = 0, frac = 0;
    util()->decodeTime(ts.timestamp_time, &h, &mi, &s, &frac);
    return QDateTime(decodeDate(ts.timestamp_date), QTime(int(h), int(mi), int(s), int(frac / 10)));
}

QByteArray connectionText(const QString& text) {
    if (auto bytes = Win1251::encodeStrict(text))
        return *bytes;
    QString bad;
    for (QChar c : text) {
        if (!Win1251::encodeStrict(QString(c))) {
            bad = c;
            break;
        }
    }
    throw EDatabaseError(
        QStringLiteral("Текстът съдържа знак, който базата данни не може да запише: \"%1\"")
            .arg(bad));
}

} // namespace fb
