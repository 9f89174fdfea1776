#include "TMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace {

TMessages g_boxes;
TMessages* g_current = &g_boxes;

QString appTitle() {
    return QApplication::applicationName();
}

} // namespace

void TMessages::error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, appTitle(), text);
}

void TMessages::info(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, appTitle(), text);
}

bool TMessages::question(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

TMessages& TMessages::current() {
    return *g_current;
}

TMessages* TMessages::install(TMessages* messages) {
    TMessages* previous = g_current;
    g_current = messages ? messages : &g_boxes;
    return previous;
}
