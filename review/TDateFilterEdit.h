#pragma once

#include <QDate>
#include <QLocale>
#include <QWidget>

#include <optional>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

// A filter date that may be empty (no bound). It is typed in the system's
// short date format with a four-digit year; a two-digit year is taken as this
// century. The calendar beside it opens at the date shown, or at today.
class TDateFilterEdit : public QWidget {
    Q_OBJECT
public:
    explicit TDateFilterEdit(const QLocale& locale, const QString& shortDateFormat,
                             QWidget* parent = nullptr);

    std::optional<QDate> date() const { return m_date; }
    void setDate(const std::optional<QDate>& date);
    void clear() { setDate(std::nullopt); }

    // The format shown and read: the short date with its year in four digits
    // and without its quoted words ("d.MM.yyyy" for "d.MM.yy 'г'.").
    const QString& displayFormat() const { return m_format; }
    // The day the text means; nullopt for an empty text, an invalid date for
    // a text that is no date.
    QDate parse(const QString& text) const;

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* calendarButton() const { return m_button; }
    QCalendarWidget* calendar() const { return m_calendar; }

signals:
    void dateChanged(const std::optional<QDate>& date);

private:
    void textEdited(const QString& text);
    void editingFinished();
    void showCalendar();
    void calendarClicked(QDate date);
    void showDate();

    QLocale m_locale;
    QString m_format;
    QLineEdit* m_edit;
    QToolButton* m_button;
    QWidget* m_popup;
    QCalendarWidget* m_calendar;
    std::optional<QDate> m_date;
};
