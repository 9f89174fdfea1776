#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QString>
#include <QVariant>

// The seal of a run: SHA-256 over its samples in the order of their ids, each
// in a fixed binary form, so that any later change of a stored value shows.
// Per sample, four fields, each a presence byte (0 for NULL, then nothing
// more; 1, then the value):
//   value  IEEE-754 binary64, big-endian, 8 bytes
//   time   the stored timestamp's milliseconds since 1970-01-01 00:00:00 read
//          as written (no time zone), signed 64-bit big-endian
//   device signed 32-bit big-endian
//   speed  IEEE-754 binary64, big-endian, 8 bytes
class TRunSeal {
public:
    void add(const QVariant& value, const QVariant& time, const QVariant& device,
             const QVariant& speed);
    qint64 samples() const { return m_samples; }
    // 64 lowercase hex digits.
    QString hex() const;

    // The digest of a printed series: SHA-256 over each run's id (signed
    // 32-bit big-endian) and its seal's 32 bytes, in the order printed.
    static QString digestOf(const QList<QPair<int, QString>>& runSeals);

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    qint64 m_samples = 0;
};
