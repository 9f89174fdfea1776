#pragma once

#include "acquisition/TAcqStatus.h"
#include "acquisition/TRecorderObserver.h"

#include <QLabel>
#include <QMap>

// The main window's bottom line: whether the program is acquiring and
// whether the database takes the recording. A problem shows in red until it
// is gone; it never stops the polling cycle the way a message box would.
class TStatusLine : public QLabel, public TRecorderObserver {
    Q_OBJECT
public:
    explicit TStatusLine(QWidget* parent = nullptr);

    void setAcquisition(const TAcqStatus& status);
    // Acquisition stopped on purpose (port dialog, program end): nothing to say.
    void clearAcquisition();

    // TRecorderObserver
    void RecorderFailing(const QString& cause, qsizetype held, qint64 dropped) override;
    void RecorderRecovered() override;

    // A problem that is neither the line's nor the database's (a file that
    // cannot be written, press constants that changed): shown in red while
    // it stands; an empty text takes the one of that source away.
    void setNotice(const QString& source, const QString& text);

    bool alarming() const {
        return m_acqProblem || !m_recording.isEmpty() || !m_notices.isEmpty();
    }

    // "Базата данни не приема записи: <причина>. Задържани проби: N".
    static QString recordingText(const QString& cause, qsizetype held, qint64 dropped);
    // The database's own (English) message said in the operator's words.
    static QString causeInBulgarian(const QString& engineText);

private:
    void refresh();

    QString m_acquisition;
    bool m_acqProblem = false;
    QString m_recording;
    QString m_engineText;
    QMap<QString, QString> m_notices;
};
