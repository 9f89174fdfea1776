#pragma once

#include <QString>

class QWidget;

// The application's message boxes. The program has one set of them; tests
// install their own to answer and record instead of blocking.
class TMessages {
public:
    virtual ~TMessages() = default;

    // The application's error message box with the error's text.
    virtual void error(QWidget* parent, const QString& text);
    // A plain message box with one OK button.
    virtual void info(QWidget* parent, const QString& text);
    // Yes and No; true for Yes.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text);

    static TMessages& current();
    // Replaces the message boxes (nullptr restores the real ones); returns the previous.
    static TMessages* install(TMessages* messages);
};
