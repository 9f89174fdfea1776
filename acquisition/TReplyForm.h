#pragma once

#include <QString>

#include <optional>

// A controller's value: the five characters right before the reply's first
// carriage return.
namespace TReplyForm {

// Only when that carriage return stands at position 7 or later (six
// characters or more before it); otherwise the reply is no sample.
std::optional<QString> value(const QString& reply);

// The five characters whenever there are five before the first carriage return.
std::optional<QString> anyFive(const QString& reply);

} // namespace TReplyForm
