#include "core/TEventLog.h"

#include "core/LogFileU.h"

TFileLog::TFileLog(QString path, const TClock& clock) : m_path(std::move(path)), m_clock(clock) {}

TFileLog::~TFileLog() {
    try {
        flushRepeats();
    } catch (...) {
        // Nothing is left to tell a log that cannot be written at the end.
    }
}

void TFileLog::write(const QString& Message, const QString& Tag) {
    ::WriteLog(Message, Tag, m_path, m_clock.now());
}

void TFileLog::flushRepeats() {
    if (m_repeats == 0)
        return;
    const qint64 count = m_repeats;
    m_repeats = 0;
    m_countSince = m_clock.now();
    write(QStringLiteral("%1 (повторено още %2 пъти)").arg(m_lastMessage).arg(count), m_lastTag);
}

void TFileLog::WriteLog(const QString& Message, const QString& Tag) {
    if (!m_lastTag.isNull() && Message == m_lastMessage && Tag == m_lastTag) {
        ++m_repeats;
        if (m_countSince.msecsTo(m_clock.now()) >= kRepeatLineEveryMs)
            flushRepeats();
        return;
    }
    flushRepeats();
    write(Message, Tag);
    m_lastMessage = Message;
    m_lastTag = Tag;
    m_countSince = m_clock.now();
}
