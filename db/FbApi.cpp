#include "db/FbApi.h"

#include "core/Win1251.h"

#include <algorithm>

using namespace Firebird;

bool EDatabaseError::has(long code) const {
    return std::find(m_codes.begin(), m_codes.end(), code) != m_codes.end();
}

namespace fb {

IMaster* master() {
    static IMaster* m = fb_get_master_interface();
    return m;
}

IUtil* util() {
    return master()->getUtilInterface();
}

QString notConnectedText() {
    return QStringLiteral("Няма връзка с базата данни");
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

// The error vector is (kind, value) pairs up to isc_arg_end; a string kind
// carries a pointer, a counted string a length and a pointer.
void rethrow(const FbException& e) {
    std::vector<long> codes;
    int osError = 0;
    const ISC_STATUS* v = e.getStatus()->getErrors();
    while (v && *v != isc_arg_end) {
        const ISC_STATUS kind = v[0];
        if (kind == isc_arg_gds)
            codes.push_back(long(v[1]));
        else if (kind == isc_arg_unix)
            osError = int(v[1]);
        v += kind == isc_arg_cstring ? 3 : 2;
    }
    throw EDatabaseError::fromEngine(errorText(e.getStatus()), std::move(codes), osError);
}

Status::Status() : m_status(master()->getStatus()), m_wrapper(m_status) {}

Status::~Status() {
    m_status->dispose();
}

ISC_TIMESTAMP encodeTimestamp(const QDateTime& when) {
    const QDate d = when.date();
    const QTime t = when.time();
    ISC_TIMESTAMP ts;
    ts.timestamp_date = encodeDate(d);
    ts.timestamp_time = util()->encodeTime(t.hour(), t.minute(), t.second(), t.msec() * 10);
    return ts;
}

ISC_DATE encodeDate(const QDate& day) {
    return util()->encodeDate(day.year(), day.month(), day.day());
}

// The server counts days from 17 November 1858 (Julian day 2400001) and the
// time of day in ten-thousandths of a second.
QDate decodeDate(ISC_DATE d) {
    return QDate::fromJulianDay(qint64(d) + 2400001);
}

// A local date-time costs a time-zone look-up of the C library each time it
// is made; a run of 100,000 samples would spend most of its reading there. The
// local offset is looked up once per hour of the day and the timestamp made
// with it: the same instant, the same wall-clock date and time.
namespace {

// The local offset from UTC in seconds for the hour that holds the timestamp.
int offsetOfHour(const ISC_TIMESTAMP& ts) {
    static thread_local qint64 cachedHour = -1;
    static thread_local int cachedOffset = 0;
    const qint64 hour = qint64(ts.timestamp_date) * 24 + ts.timestamp_time / 36000000;
    if (hour != cachedHour) {
        const int h = int(ts.timestamp_time / 36000000);
        cachedOffset = QDateTime(decodeDate(ts.timestamp_date), QTime(h, 0)).offsetFromUtc();
        cachedHour = hour;
    }
    return cachedOffset;
}

// Days from 17 November 1858 to 1 January 1970.
constexpr qint64 kEpochDay = 40587;

} // namespace

QDateTime decodeTimestamp(const ISC_TIMESTAMP& ts) {
    const QDate date = decodeDate(ts.timestamp_date);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ts.timestamp_time / 10));
    return QDateTime(date, time, Qt::OffsetFromUTC, offsetOfHour(ts));
}

qint64 timestampMs(const ISC_TIMESTAMP& ts) {
    return (qint64(ts.timestamp_date) - kEpochDay) * 86400000 + qint64(ts.timestamp_time / 10) -
           qint64(offsetOfHour(ts)) * 1000;
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
