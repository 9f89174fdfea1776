#pragma once

#include <QDialog>

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

// Searching a grid's rows for a text.
struct TFindOptions {
    enum class Match { AnyPart, WholeValue, Beginning };
    enum class Direction { Up, Down, All };
    QString text;
    int column = -1; // -1: every column
    Match match = Match::AnyPart;
    Direction direction = Direction::All;
    bool caseSensitive = false;
};

// The row after (or before) `from` that holds the text, or -1.
int findRow(const QAbstractItemModel& model, const TFindOptions& options, int from);

// The find-text dialog that Ctrl+F opens over a grid.
class TFindDialog : public QDialog {
    Q_OBJECT
public:
    TFindDialog(QTableView* grid, QWidget* parent = nullptr);

    QLineEdit* edText;
    QComboBox* cbColumn;
    QComboBox* cbMatch;
    QComboBox* cbDirection;
    QCheckBox* chCase;
    QLabel* lblResult;

    TFindOptions options() const;
    // Moves the grid to the next row that matches; false when there is none.
    bool findNext();

private:
    QTableView* m_grid;
};
