#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <optional>

class QComboBox;

// Puts the names into the box, each with its id as the item's data, and
// selects the chosen id; nothing is selected when there is no choice or the
// chosen id is not among them.
void fillChoices(QComboBox& box, const QList<QPair<QString, QVariant>>& choices,
                 const std::optional<int>& chosen);
