#include "core/TRunSeal.h"

#include <QtEndian>

#include <bit>
#include <cstring>

namespace {

void putDouble(QCryptographicHash& h, const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        h.addData(QByteArrayView("\0", 1));
        return;
    }
    char buf[9] = {1};
    qToBigEndian(std::bit_cast<quint64>(v.toDouble()), buf + 1);
    h.addData(QByteArrayView(buf, 9));
}

void putTime(QCryptographicHash& h, const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        h.addData(QByteArrayView("\0", 1));
        return;
    }
    const QDateTime t = v.toDateTime();
    const qint64 ms = QDateTime(t.date(), t.time(), Qt::UTC).toMSecsSinceEpoch();
    char buf[9] = {1};
    qToBigEndian(ms, buf + 1);
    h.addData(QByteArrayView(buf, 9));
}

void putInt(QCryptographicHash& h, const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        h.addData(QByteArrayView("\0", 1));
        return;
    }
    char buf[5] = {1};
    qToBigEndian(qint32(v.toInt()), buf + 1);
    h.addData(QByteArrayView(buf, 5));
}

} // namespace

void TRunSeal::add(const QVariant& value, const QVariant& time, const QVariant& device,
                   const QVariant& speed) {
    putDouble(m_hash, value);
    putTime(m_hash, time);
    putInt(m_hash, device);
    putDouble(m_hash, speed);
    ++m_samples;
}

QString TRunSeal::hex() const {
    return QString::fromLatin1(m_hash.resultView().toByteArray().toHex());
}

QString TRunSeal::digestOf(const QList<QPair<int, QString>>& runSeals) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const auto& [run, seal] : runSeals) {
        char id[4];
        qToBigEndian(qint32(run), id);
        h.addData(QByteArrayView(id, 4));
        h.addData(QByteArray::fromHex(seal.toLatin1()));
    }
    return QString::fromLatin1(h.result().toHex());
}
