#pragma once

#include <QDate>
#include <QString>

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
    // hold a value, the tail. The date is written in the fixed form the data
    // module uses for every statement; the comment, matched as typed and in
    // any letter case, with its quotes doubled.
    QString statement() const;

    static const QString kHead;
    static const QString kTail;
};
