#pragma once

#include <QByteArray>
#include <QString>

// The controller side of a pseudo-terminal, linked into a ports/ folder as
// COM<n> so that the program opens the other side like a serial port. Used by
// the controller simulator and by the tests.
class PseudoTerminal {
public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates portsDir if needed and points portsDir/COM<number> at the
    // program's side, replacing an earlier link. Returns the link's path.
    QString linkAs(const QString& portsDir, int number);

    int fd() const { return m_master; }
    const QString& slaveName() const { return m_slaveName; }

    void write(const QByteArray& bytes);
    // Waits up to timeoutMs for bytes and returns what arrived (possibly none).
    QByteArray read(int timeoutMs);

private:
    int m_master = -1;
    int m_slaveKeepAlive = -1; // keeps the pair usable while the program has it closed
    QString m_slaveName;
    QString m_link;
};
