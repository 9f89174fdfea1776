#include "review/TDateFilterEdit.h"

#include "core/TClock.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPalette>
#include <QRegularExpression>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The short date with its year in four digits and its quoted words left out:
// the operator types the digits, not the "г.".
QString typedFormat(const QString& shortFormat) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < shortFormat.size(); ++i) {
        const QChar c = shortFormat.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('y')) {
            qsizetype n = 0;
            while (i + n < shortFormat.size() && shortFormat.at(i + n) == QLatin1Char('y'))
                ++n;
            out += QStringLiteral("yyyy");
            i += n - 1;
            continue;
        }
        out += c;
    }
    // What followed the words ("." of "г.") goes with them.
    while (!out.isEmpty() && !QStringLiteral("dMy").contains(out.back()))
        out.chop(1);
    return out;
}

} // namespace

TDateFilterEdit::TDateFilterEdit(const QLocale& locale, const QString& shortDateFormat,
                                 QWidget* parent)
    : QWidget(parent), m_locale(locale), m_format(typedFormat(shortDateFormat)),
      m_edit(new QLineEdit(this)), m_button(new QToolButton(this)),
      m_popup(new QWidget(this, Qt::Popup)), m_calendar(new QCalendarWidget(m_popup)) {
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(m_edit, 1);
    lay->addWidget(m_button);
    m_edit->setObjectName(QStringLiteral("edDataText"));
    m_edit->setClearButtonEnabled(true);
    m_edit->setPlaceholderText(
        m_locale.toString(QDate(2000, 12, 31), m_format)
            .replace(QRegularExpression(QStringLiteral("\\d")), QStringLiteral("_")));
    m_edit->setMinimumWidth(
        m_edit->fontMetrics().horizontalAdvance(m_locale.toString(QDate(2000, 12, 28), m_format)) +
        40);
    m_button->setObjectName(QStringLiteral("btnCalendar"));
    m_button->setArrowType(Qt::DownArrow);
    m_button->setAccessibleName(QStringLiteral("Календар"));
    m_button->setFocusPolicy(Qt::NoFocus);
    auto* popupLay = new QVBoxLayout(m_popup);
    popupLay->setContentsMargins(0, 0, 0, 0);
    popupLay->addWidget(m_calendar);
    m_calendar->setObjectName(QStringLiteral("calData"));
    m_calendar->setLocale(m_locale);
    setFocusProxy(m_edit);

    connect(m_edit, &QLineEdit::textEdited, this, &TDateFilterEdit::textEdited);
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (t.isEmpty() && m_date) // the clear button
            textEdited(t);
    });
    connect(m_edit, &QLineEdit::editingFinished, this, &TDateFilterEdit::editingFinished);
    connect(m_button, &QToolButton::clicked, this, &TDateFilterEdit::showCalendar);
    connect(m_calendar, &QCalendarWidget::clicked, this, &TDateFilterEdit::calendarClicked);
    connect(m_calendar, &QCalendarWidget::activated, this, &TDateFilterEdit::calendarClicked);
}

QDate TDateFilterEdit::parse(const QString& text) const {
    const QString t = text.trimmed();
    QString twoDigits = m_format;
    twoDigits.replace(QStringLiteral("yyyy"), QStringLiteral("yy"));
    const int century = TClock::program().today().year() / 100 * 100;
    // What the locale shows may follow the digits ("9.12.2026 г."): read the
    // longest beginning that is a date.
    for (qsizetype n = t.size(); n > 0; --n) {
        const QString head = t.left(n).trimmed();
        const QDate d = m_locale.toDate(head, m_format);
        if (d.isValid())
            return d;
        // A two-digit year is this century's (the toolkit reads it as 19yy).
        const QDate y2 = m_locale.toDate(head, twoDigits);
        if (y2.isValid())
            return QDate(century + y2.year() % 100, y2.month(), y2.day());
    }
    return {};
}

void TDateFilterEdit::setDate(const std::optional<QDate>& date) {
    const std::optional<QDate> d = date && date->isValid() ? date : std::nullopt;
    const bool changed = d != m_date;
    m_date = d;
    showDate();
    if (changed)
        emit dateChanged(m_date);
}

void TDateFilterEdit::showDate() {
    m_edit->setText(m_date ? m_locale.toString(*m_date, m_format) : QString());
    m_edit->setPalette(QPalette());
}

// A text that is a date binds it at once; an erased text binds nothing.
void TDateFilterEdit::textEdited(const QString& text) {
    if (text.trimmed().isEmpty()) {
        if (m_date) {
            m_date.reset();
            emit dateChanged(m_date);
        }
        return;
    }
    const QDate d = parse(text);
    QPalette p;
    if (!d.isValid())
        p.setColor(QPalette::Text, Qt::red); // not a date yet: the last date still binds
    m_edit->setPalette(p);
    if (d.isValid() && d != m_date) {
        m_date = d;
        emit dateChanged(m_date);
    }
}

// Leaving the field shows what binds: the date read, or the last one when the
// text is no date.
void TDateFilterEdit::editingFinished() {
    showDate();
}

void TDateFilterEdit::showCalendar() {
    m_calendar->setSelectedDate(m_date.value_or(TClock::program().today()));
    m_popup->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), area.right() - m_popup->width()));
        if (at.y() + m_popup->height() > area.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - m_popup->height());
    }
    m_popup->move(at);
    m_popup->show();
    m_calendar->setFocus();
}

void TDateFilterEdit::calendarClicked(QDate date) {
    m_popup->hide();
    setDate(date);
    m_edit->setFocus();
}
