#include "TReplyForm.h"

namespace TReplyForm {

std::optional<QString> value(const QString& reply) {
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'));
    if (cr < 6)
        return std::nullopt;
    return reply.mid(cr - 5, 5);
}

std::optional<QString> anyFive(const QString& reply) {
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'));
    if (cr < 5)
        return std::nullopt;
    return reply.mid(cr - 5, 5);
}

} // namespace TReplyForm
