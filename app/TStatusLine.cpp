#include "app/TStatusLine.h"

namespace {

const QString kConnectionLost = QStringLiteral("връзката с базата данни е прекъсната");

bool mentions(const QString& text, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (text.contains(QString::fromUtf8(w), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

TStatusLine::TStatusLine(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("lblStatus"));
    setAccessibleName(QStringLiteral("Състояние"));
    setContentsMargins(6, 0, 6, 0);
    setTextFormat(Qt::PlainText);
    // A long text is cut at the window's edge rather than widening the
    // window; the tooltip holds all of it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    refresh();
}

void TStatusLine::setAcquisition(const TAcqStatus& status) {
    m_acquisition = status.text();
    m_acqProblem = status.problem();
    refresh();
}

void TStatusLine::clearAcquisition() {
    m_acquisition.clear();
    m_acqProblem = false;
    refresh();
}

void TStatusLine::RecorderFailing(const QString& cause, qsizetype held, qint64 dropped) {
    m_recording = recordingText(cause, held, dropped);
    m_engineText = cause;
    refresh();
}

void TStatusLine::setNotice(const QString& source, const QString& text) {
    if (text.isEmpty())
        m_notices.remove(source);
    else
        m_notices.insert(source, text);
    refresh();
}

void TStatusLine::RecorderRecovered() {
    m_recording.clear();
    m_engineText.clear();
    refresh();
}

QString TStatusLine::recordingText(const QString& cause, qsizetype held, qint64 dropped) {
    const QString why = causeInBulgarian(cause);
    QString text =
        cause.isEmpty()
            ? QStringLiteral("Задържаните проби се записват в базата данни. Остават: %1").arg(held)
        : why == kConnectionLost
            ? QStringLiteral("Няма връзка с базата данни. Задържани проби: %1").arg(held)
            : QStringLiteral("Базата данни не приема записи: %1. Задържани проби: %2")
                  .arg(why)
                  .arg(held);
    if (dropped > 0)
        text += QStringLiteral(". Изгубени проби (паметта е пълна): %1").arg(dropped);
    return text;
}

QString TStatusLine::causeInBulgarian(const QString& engineText) {
    if (mentions(engineText, {"File too large", "No space left", "disk full", "file size"}))
        return QStringLiteral("дискът е пълен или файлът на базата данни не може да расте");
    if (mentions(engineText, {"read-only", "read only", "Permission denied", "no permission"}))
        return QStringLiteral("няма право на запис в базата данни");
    if (mentions(engineText, {"No such file", "trying to open"}))
        return QStringLiteral("файлът на базата данни не може да бъде отворен");
    // The engine's texts of a lost connection, and the program's own when a
    // new connection to the server fails or none is open.
    if (mentions(engineText, {"connection", "not connected", "shutdown", "network",
                              "No answer from", "не отговаря", "Няма връзка с базата данни"}))
        return kConnectionLost;
    if (mentions(engineText, {"I/O error", "write"}))
        return QStringLiteral("грешка при запис във файла на базата данни");
    if (mentions(engineText, {"lock", "deadlock"}))
        return QStringLiteral("записът е заключен от друга програма");
    return QStringLiteral("грешка на базата данни");
}

// The database's fault comes first: it is the one that loses data.
void TStatusLine::refresh() {
    QStringList parts;
    if (!m_recording.isEmpty())
        parts.append(m_recording);
    if (!m_acquisition.isEmpty())
        parts.append(m_acquisition);
    parts.append(m_notices.values());
    setText(parts.join(QStringLiteral("   •   ")));
    if (!m_engineText.isEmpty())
        parts.append(m_engineText);
    setToolTip(parts.join(QLatin1Char('\n')));
    setStyleSheet(alarming() ? QStringLiteral("QLabel { background: #c00000; color: white; "
                                              "font-weight: bold; }")
                             : QString());
}
