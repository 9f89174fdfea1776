#include "core/TEventLog.h"

#include "core/Exception.h"
#include "core/LogFileU.h"

TFileLog::TFileLog(QString path, const TClock& clock) : m_path(std::move(path)), m_clock(clock) {}

TFileLog::~TFileLog() {
    try {
        flushRepeats();
        writeWaiting();
    } catch (...) {
        // Nothing is left to tell a log that cannot be written at the end.
    }
}

void TFileLog::writeWaiting() {
    if (m_lost > 0) {
        ::WriteLog(QStringLiteral("%1 реда от дневника бяха изгубени, докато той не можеше да "
                                  "се записва")
                       .arg(m_lost),
                   QStringLiteral("logErr"), m_path, m_clock.now());
        m_lost = 0;
    }
    while (!m_waiting.empty()) {
        const Line& l = m_waiting.front();
        ::WriteLog(l.message, l.tag, m_path, l.at);
        m_waiting.pop_front();
    }
}

void TFileLog::write(const QString& Message, const QString& Tag) {
    m_waiting.push_back({Message, Tag, m_clock.now()});
    if (qsizetype(m_waiting.size()) > kMaxWaiting) {
        m_waiting.pop_front();
        ++m_lost;
    }
    try {
        writeWaiting();
    } catch (const Exception& e) {
        if (!m_troubled) {
            m_troubled = true;
            if (Trouble)
                Trouble(QStringLiteral("Дневникът %1 не може да бъде записан: %2. Редовете се "
                                       "пазят, докато има място")
                            .arg(m_path, e.cause()));
        }
        throw;
    }
    if (m_troubled) {
        m_troubled = false;
        if (Trouble)
            Trouble(QString());
    }
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
