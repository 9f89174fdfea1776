#pragma once

#include "widgets/TMessages.h"

#include <QStringList>

// Records the message boxes a test causes and answers its questions from a
// script (Yes when the script is empty). Installed for its lifetime.
class FakeMessages : public TMessages {
public:
    FakeMessages() : m_previous(TMessages::install(this)) {}
    ~FakeMessages() override { TMessages::install(m_previous); }

    void error(QWidget* parent, const QString& text) override {
        errors.append(text);
        errorParents.append(parent);
    }
    void info(QWidget*, const QString& text) override { infos.append(text); }
    bool question(QWidget*, const QString& caption, const QString& text) override {
        questions.append(caption + "|" + text);
        return answers.isEmpty() ? true : answers.takeFirst();
    }

    // The reason typed for a change; nothing (Escape) when the list holds an
    // empty text, "проба" when the list is empty.
    std::optional<QString> reason(QWidget*, const QString& caption, const QString&) override {
        reasonAsked.append(caption);
        if (reasons.isEmpty())
            return QStringLiteral("проба");
        const QString r = reasons.takeFirst();
        return r.isEmpty() ? std::nullopt : std::optional<QString>(r);
    }
    QStringList reasonAsked;
    QStringList reasons;
    QStringList errors;
    QList<QWidget*> errorParents; // the window each error box belongs to
    QStringList infos;
    QStringList questions;
    QList<bool> answers;

private:
    TMessages* m_previous;
};
