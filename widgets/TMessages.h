#pragma once

#include <QString>

#include <optional>

#include <exception>

class QWidget;

// The application's message boxes. The program has one set of them; tests
// install their own to answer and record instead of blocking.
//
// Every box is in Bulgarian ("Да", "Не", "OK"). Questions and plain messages
// carry no icon; the error box carries the error icon.
class TMessages {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~TMessages() = default;

    // The application's error message box with the error's text.
    virtual void error(QWidget* parent, const QString& text);
    // A plain message box with one OK button.
    virtual void info(QWidget* parent, const QString& text);
    // "Да" and "Не"; true for "Да". "Не" is the default and Escape answers
    // it, so a confirmation of a deletion is never given by Enter or Escape.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text);
    // The question whether to keep the operator's changes when a window
    // closes: "Да" is the default (keeping loses nothing); Escape or the
    // box's close button give Cancel, which leaves the window open with
    // everything in it. A set of messages that does not answer this itself
    // answers it as a plain question.
    virtual Answer keepQuestion(QWidget* parent, const QString& caption, const QString& text);

    // Asks why a change to the laboratory's records is made. The reason is
    // required: "OK" stays disabled while it is empty; "Отказ" and Escape
    // give nothing, and the change is not made.
    virtual std::optional<QString> reason(QWidget* parent, const QString& caption,
                                          const QString& prompt);
    static constexpr int kMaxReason = 500;
    // The one way a window shows a failure: the error box with the
    // operator's text and the cause below it for the maintainer. A foreign
    // exception shows its own text.
    static void showFailure(QWidget* parent, const std::exception& e);

    static TMessages& current();
    // Replaces the message boxes (nullptr restores the real ones); returns the previous.
    static TMessages* install(TMessages* messages);
};
