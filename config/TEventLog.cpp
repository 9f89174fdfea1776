#include "TEventLog.h"

#include "LogFileU.h"

void TFileLog::WriteLog(const QString& Message, const QString& Tag) {
    ::WriteLog(Message, Tag, m_path);
}
