#include "widgets/TTwoLevelHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

TTwoLevelHeader::TTwoLevelHeader(const QString& topCaption, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_top(topCaption) {
    setSectionsClickable(false);
    setHighlightSections(false);
}

void TTwoLevelHeader::setBand(int first, int last) {
    m_first = first;
    m_last = last;
    viewport()->update();
}

QSize TTwoLevelHeader::sizeHint() const {
    QSize s = QHeaderView::sizeHint();
    s.setHeight(s.height() * 2);
    return s;
}

// The column captions take the lower half; the band is drawn over the upper half.
void TTwoLevelHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    QRect lower = rect;
    lower.setTop(rect.top() + rect.height() / 2);
    QHeaderView::paintSection(painter, lower, logicalIndex);
}

void TTwoLevelHeader::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    if (count() == 0)
        return;
    const int last = m_last < 0 ? count() - 1 : std::min(m_last, count() - 1);
    const int left = sectionViewportPosition(m_first);
    const int right = sectionViewportPosition(last) + sectionSize(last);
    QPainter p(viewport());
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = QRect(left, 0, right - left, viewport()->height() / 2);
    opt.text = m_top;
    opt.textAlignment = Qt::AlignCenter;
    opt.section = 0;
    opt.position = QStyleOptionHeader::OnlyOneSection;
    style()->drawControl(QStyle::CE_Header, &opt, &p, this);
}
