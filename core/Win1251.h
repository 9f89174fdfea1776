#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The settings file, the log and the database connection speak Windows-1251;
// inside the program text is Unicode. Qt 6 has no codec for it, so this is ours.
namespace Win1251 {

QString decode(const QByteArray& bytes);

// Characters that Windows-1251 cannot hold become '?'.
QByteArray encode(const QString& text);

// std::nullopt when some character cannot be held, so callers can refuse
// instead of storing corrupted text.
std::optional<QByteArray> encodeStrict(const QString& text);

} // namespace Win1251
