#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Replaces a file only once its new contents are completely written and on
// the disk: they go to a temporary file beside it, which is synced and then
// renamed over the old one, and the folder is synced. Until then the old file
// stays whole; a failure removes the temporary file and says why. A new file
// takes the usual mode (0666 less the umask), a replaced one keeps its own.
class TFileReplace {
public:
    explicit TFileReplace(QString path);
    ~TFileReplace(); // a temporary file not yet put in place is removed
    TFileReplace(const TFileReplace&) = delete;
    TFileReplace& operator=(const TFileReplace&) = delete;

    // Writes and syncs the temporary file. False, with error() set, on failure.
    bool prepare(const QByteArray& bytes);
    // Puts the prepared file in place. False, with error() set, on failure.
    bool commit();

    const QString& path() const { return m_path; }
    // The system's words for the failure (e.g. "No space left on device").
    const QString& error() const { return m_error; }

    // prepare() and commit() at once: std::nullopt when the file was
    // replaced, the system's words otherwise.
    static std::optional<QString> write(const QString& path, const QByteArray& bytes);

private:
    bool fail(int err);
    void discard();

    QString m_path;
    QString m_temp;
    QString m_error;
};
