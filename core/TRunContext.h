#pragma once

#include <QDateTime>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

// What a run was recorded with: who, where, which program, which database
// and for the press the constants and the zero offset in force when it opened.
struct TRunContext {
    QString operatorName;
    QString workstation;
    QString version;
    QString database;
    std::optional<double> upp;
    std::optional<double> downn;
    std::optional<double> maxstart;
    std::optional<double> zeroOffset;
};

// The context of the runs this program records. The press channel tells it
// the constants and the offset each time a run opens; a run written later
// (held while the database refused it, or queued for a server) gets the
// constants that were in force at its start, not at its write. Safe to use
// from the writer thread.
class TRunContextSource {
public:
    struct Press {
        double upp;
        double downn;
        double maxstart;
        double zeroOffset;
        bool operator==(const Press&) const = default;
    };

    explicit TRunContextSource(QString version);

    void setPress(const QDateTime& at, const Press& press);
    // The context of a run of the device started at `start`.
    TRunContext forRun(int deviceId, const QDateTime& start) const;

    const QString& operatorName() const { return m_operator; }
    const QString& workstation() const { return m_workstation; }

    // The login of the user running the program and this computer's name.
    static QString loginName();
    static QString hostName();

    static constexpr int kPressDevice = 1;
    static constexpr std::size_t kHistory = 256;

private:
    QString m_operator;
    QString m_workstation;
    QString m_version;
    mutable std::mutex m_mutex;
    std::vector<std::pair<QDateTime, Press>> m_press; // ordered by moment
};
