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

// The largest magnitude the controller's five-character field can carry.
constexpr double kMaxRaw = 99999.0;

// What became of a reply or of a value text: a number, or the reason it is none.
struct TReading {
    std::optional<double> value;
    QString reason; // empty when value holds a number

    bool ok() const { return value.has_value(); }
};

// A number as a controller writes it: optional blanks around it, a sign,
// digits with a point and an exponent, whatever the program's locale is.
// Anything else, a value that is not finite or one beyond kMaxRaw in
// magnitude, is refused with its reason.
TReading number(const QString& text);

// The reply's value (see value()) converted by number(); a reply without
// the form is refused with its reason as well.
TReading reading(const QString& reply);

// The same conversion without the range check, for the program's own texts
// and the settings file, whose separator is given.
std::optional<double> plainNumber(const QString& text, QChar separator = QLatin1Char('.'));

} // namespace TReplyForm
