#pragma once

#include <QHeaderView>

// A horizontal grid header with one common caption above a run of columns
// ("Тест" over "Пореден номер", "Старт", "Име").
class TTwoLevelHeader : public QHeaderView {
    Q_OBJECT
public:
    TTwoLevelHeader(const QString& topCaption, QWidget* parent = nullptr);

    // The columns [first, last] share the top caption; by default all of them.
    void setBand(int first, int last);
    const QString& topCaption() const { return m_top; }

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_top;
    int m_first = 0;
    int m_last = -1;
};
