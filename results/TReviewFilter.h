#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// The review's filter record: a field holds no value until something is
// entered; an erased comment is an empty text, which is a value.
struct TReviewFilter {
    std::optional<QDate> data;
    std::optional<qint64> nomer;
    std::optional<QString> text;
    std::optional<int> obekt_id;

    bool isEmpty() const { return !data && !nomer && !text && !obekt_id; }

    // The series list's statement: the head, the pieces of the fields that
    // hold a value, the tail. Each piece carries a "?" mark; values() gives
    // what is bound to them, in their order. The comment is matched as typed,
    // in any letter case.
    QString statement() const;
    QList<QVariant> values() const;

    static const QString kHead;
    static const QString kTail;
};
