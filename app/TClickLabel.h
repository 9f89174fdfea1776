#pragma once

#include <QLabel>

// A top-bar label that acts on a click and shows a hand cursor.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    TClickLabel(const QString& name, const QString& caption, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
