#include "core/Exception.h"

Exception::Exception(QString text, QString cause)
    : m_text(std::move(text)), m_cause(std::move(cause)), m_message(join(m_text, m_cause)),
      m_utf8(m_message.toStdString()) {}

Exception Exception::of(const std::exception& e) {
    if (const auto* ours = dynamic_cast<const Exception*>(&e))
        return *ours;
    return Exception(QString(), QString::fromUtf8(e.what()));
}

QString Exception::join(const QString& text, const QString& cause) {
    if (cause.isEmpty())
        return text;
    if (text.isEmpty())
        return cause;
    return text + QStringLiteral("\n\n") + cause;
}
