#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <stdexcept>

class QTableView;

// Drives the program's windows the way the operator does (clicks and keys
// on the real controls) and saves what the screen shows of them.
class ScreenShooter {
public:
    explicit ScreenShooter(const QString& outDir);

    // The window with its frame, as the screen shows it, to <out>/<name>.png.
    void save(QWidget* window, const QString& name);

    // Clicks `target`; once the modal window that click opens is up, calls
    // `whileOpen` with it, then closes it (answering "No" to a question on
    // the way out). Returns after the window closed.
    void throughModal(QWidget* target, const QString& what,
                      const std::function<void(QWidget*)>& whileOpen);

    // Clicks the first cell of `row`.
    static void clickRow(QTableView* grid, int row);
    static void click(QWidget* w);

    // A control by its objectName; throws when the window has none.
    template <typename T> static T* named(QWidget* root, const QString& name) {
        auto* w = root->findChild<T*>(name);
        if (!w)
            throw std::runtime_error(
                ("no control named " + name + " in " + root->objectName()).toStdString());
        return w;
    }

    const QStringList& saved() const { return m_saved; }
    // The texts of the message boxes that came up on the way.
    const QStringList& messages() const { return m_messages; }

private:
    void closeModal(QWidget* modal);
    void answerMessageBox();

    QString m_out;
    QStringList m_saved;
    QStringList m_messages;
    // Message boxes block the click that raised them: this answers them
    // ("No" to a question, Escape to the rest) from their own event loop.
    QTimer m_answer;
};
