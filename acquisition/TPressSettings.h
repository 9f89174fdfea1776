#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The press constants of section "dev" of the settings file. The file is read
// again only when its modification time or its size has changed, so a large
// file does not cost a read for every sample.
class TPressSettings {
public:
    struct Constants {
        double upp;
        double downn;
        double maxstart;
    };

    // decimalSeparator: the operator's separator; a point is taken as well.
    TPressSettings(QString path, QChar decimalSeparator);

    // The constants, or std::nullopt when a key holds a value that cannot
    // work; problem() then says which key of which file.
    std::optional<Constants> current();
    const QString& problem() const { return m_problem; }
    // The keys the file lacks or holds no number for, whose default is in use.
    const QStringList& defaulted() const { return m_defaulted; }

    // How many times the file was read (for the benchmark and the tests).
    int reads() const { return m_reads; }

    static constexpr double kDefaultUpp = 52.2;
    static constexpr double kDefaultDownn = 26.2;
    static constexpr double kDefaultMaxStart = 5.2;

private:
    struct Stamp {
        bool exists = false;
        std::int64_t mtimeNs = 0;
        std::int64_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stamp() const;
    void load();
    QString bad(const QString& key, const QString& value) const;

    QString m_path;
    QChar m_separator;
    std::optional<Stamp> m_stamp;
    std::optional<Constants> m_constants;
    QString m_problem;
    QStringList m_defaulted;
    int m_reads = 0;
};
