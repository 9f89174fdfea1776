#include "widgets/TFindDialog.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

bool matches(const QString& value, const TFindOptions& o) {
    const Qt::CaseSensitivity cs = o.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    switch (o.match) {
    case TFindOptions::Match::WholeValue:
        return value.compare(o.text, cs) == 0;
    case TFindOptions::Match::Beginning:
        return value.startsWith(o.text, cs);
    case TFindOptions::Match::AnyPart:
        break;
    }
    return value.contains(o.text, cs);
}

bool rowMatches(const QAbstractItemModel& m, int row, const TFindOptions& o) {
    for (int c = 0; c < m.columnCount(); ++c) {
        if (o.column >= 0 && c != o.column)
            continue;
        if (matches(m.data(m.index(row, c), Qt::DisplayRole).toString(), o))
            return true;
    }
    return false;
}

} // namespace

int findRow(const QAbstractItemModel& model, const TFindOptions& o, int from) {
    const int n = model.rowCount();
    if (n == 0 || o.text.isEmpty())
        return -1;
    switch (o.direction) {
    case TFindOptions::Direction::Down:
        for (int r = from + 1; r < n; ++r)
            if (rowMatches(model, r, o))
                return r;
        return -1;
    case TFindOptions::Direction::Up:
        for (int r = std::min(from, n) - 1; r >= 0; --r)
            if (rowMatches(model, r, o))
                return r;
        return -1;
    case TFindOptions::Direction::All:
        break;
    }
    for (int k = 1; k <= n; ++k) {
        const int r = ((from < 0 ? -1 : from) + k) % n;
        if (rowMatches(model, r, o))
            return r;
    }
    return -1;
}

TFindDialog::TFindDialog(QTableView* grid, QWidget* parent) : QDialog(parent), m_grid(grid) {
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Търсене"));
    edText = new QLineEdit(this);
    edText->setObjectName(QStringLiteral("edText"));
    edText->setAccessibleName(QStringLiteral("Текст"));
    cbColumn = new QComboBox(this);
    cbColumn->setAccessibleName(QStringLiteral("Колона"));
    cbColumn->addItem(QStringLiteral("Всички колони"), -1);
    const QAbstractItemModel* m = grid->model();
    for (int c = 0; c < m->columnCount(); ++c)
        cbColumn->addItem(m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), c);
    cbMatch = new QComboBox(this);
    cbMatch->setAccessibleName(QStringLiteral("Съвпадение"));
    cbMatch->addItems({QStringLiteral("Част от стойността"), QStringLiteral("Цялата стойност"),
                       QStringLiteral("Начало на стойността")});
    cbDirection = new QComboBox(this);
    cbDirection->setAccessibleName(QStringLiteral("Посока"));
    cbDirection->addItems(
        {QStringLiteral("Нагоре"), QStringLiteral("Надолу"), QStringLiteral("Всички")});
    cbDirection->setCurrentIndex(2);
    chCase = new QCheckBox(QStringLiteral("Главни и малки букви са различни"), this);
    lblResult = new QLabel(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Текст"), edText);
    form->addRow(QStringLiteral("Колона"), cbColumn);
    form->addRow(QStringLiteral("Съвпадение"), cbMatch);
    form->addRow(QStringLiteral("Посока"), cbDirection);
    form->addRow(QString(), chCase);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* find = buttons->addButton(QStringLiteral("Търси"), QDialogButtonBox::ActionRole);
    find->setDefault(true);
    QPushButton* close =
        buttons->addButton(QStringLiteral("Затвори"), QDialogButtonBox::RejectRole);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addWidget(lblResult);
    lay->addWidget(buttons);
    connect(find, &QPushButton::clicked, this, &TFindDialog::findNext);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

TFindOptions TFindDialog::options() const {
    TFindOptions o;
    o.text = edText->text();
    o.column = cbColumn->currentData().toInt();
    o.match = static_cast<TFindOptions::Match>(cbMatch->currentIndex());
    o.direction = static_cast<TFindOptions::Direction>(cbDirection->currentIndex());
    o.caseSensitive = chCase->isChecked();
    return o;
}

bool TFindDialog::findNext() {
    const int from = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    const int row = findRow(*m_grid->model(), options(), from);
    if (row < 0) {
        lblResult->setText(QStringLiteral("Не е намерено"));
        return false;
    }
    lblResult->clear();
    m_grid->setCurrentIndex(m_grid->model()->index(row, 0));
    return true;
}
