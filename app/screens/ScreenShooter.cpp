#include "app/screens/ScreenShooter.h"

#include "testsupport/QtWait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

const QSize kMaxSize(1280, 800);

} // namespace

ScreenShooter::ScreenShooter(const QString& outDir) : m_out(outDir) {
    m_answer.setInterval(200);
    QObject::connect(&m_answer, &QTimer::timeout, [this] { answerMessageBox(); });
    m_answer.start();
}

void ScreenShooter::answerMessageBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_messages.append(box->windowTitle() + ": " + box->text());
    std::fprintf(stderr, "message box: %s\n", qPrintable(m_messages.last()));
    QAbstractButton* no = box->button(QMessageBox::No);
    for (QAbstractButton* b : box->buttons())
        if (!no && b->text().remove(QLatin1Char('&')) == QStringLiteral("Не"))
            no = b;
    if (no)
        click(no);
    else
        QTest::keyClick(box, Qt::Key_Escape);
}

void ScreenShooter::save(QWidget* window, const QString& name) {
    QWidget* top = window->window();
    top->raise();
    top->activateWindow();
    serveFor(700); // the window manager's frame and the last paint
    const QRect frame = top->frameGeometry();
    QPixmap shot =
        top->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull())
        shot = top->grab();
    QImage img = shot.toImage();
    if (img.width() > kMaxSize.width() || img.height() > kMaxSize.height())
        img = img.scaled(kMaxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QString file = m_out + "/" + name + ".png";
    if (!img.save(file, "PNG", 0))
        throw std::runtime_error(("cannot write " + file).toStdString());
    m_saved.append(name);
    std::printf("%s.png %dx%d\n", qPrintable(name), img.width(), img.height());
    std::fflush(stdout);
}

void ScreenShooter::throughModal(QWidget* target, const QString& what,
                                 const std::function<void(QWidget*)>& whileOpen) {
    QPointer<QWidget> before = QApplication::activeModalWidget();
    bool opened = false;
    QString failure;
    // Looks for the window from whatever event loop runs next, without
    // blocking: the click may serve events before the window opens.
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == before || !modal->isVisible())
            return;
        poll.stop();
        opened = true;
        try {
            whileOpen(modal);
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        closeModal(modal);
    });
    poll.start();
    click(target);
    serveUntil([&] { return opened; }, 5000);
    poll.stop();
    if (!opened)
        throw std::runtime_error(("the " + what + " did not open").toStdString());
    if (!failure.isEmpty())
        throw std::runtime_error((what + ": " + failure).toStdString());
}

void ScreenShooter::closeModal(QWidget* modal) {
    QPointer<QWidget> m = modal;
    QTest::keyClick(m, Qt::Key_Escape);
    if (!serveUntil([&] { return !m || !m->isVisible(); }, 2000) && m) {
        m->close(); // Escape does not close every window
        serveUntil([&] { return !m || !m->isVisible(); }, 5000);
    }
}

void ScreenShooter::clickRow(QTableView* grid, int row) {
    const QModelIndex index = grid->model()->index(row, 0);
    grid->scrollTo(index);
    const QRect r = grid->visualRect(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    serveFor(300);
}

void ScreenShooter::click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}
