#include "widgets/ChoiceList.h"

#include <QComboBox>

void fillChoices(QComboBox& box, const QList<QPair<QString, QVariant>>& choices,
                 const std::optional<int>& chosen) {
    box.clear();
    for (const auto& [name, id] : choices)
        box.addItem(name, id);
    box.setCurrentIndex(chosen ? box.findData(*chosen) : -1);
}
