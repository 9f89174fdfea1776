#include "app/TfrmComPort.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/Unprivileged.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(TfrmComPort, ListsSortedAsTextWithTheFirstSelected) {
    QTemporaryDir dir;
    FakeMessages messages;
    QDir().mkpath(dir.path() + "/ports");
    for (const char* name : {"COM2", "COM10", "COM1"})
        QFile::link("/dev/null", dir.path() + "/ports/" + name);
    TfrmComPort dlg(AppPaths::in(dir.path()), ComPortMap(dir.path() + "/ports"), {});
    EXPECT_EQ(dlg.windowTitle(), "(COM) порт");
    EXPECT_EQ(child<QLabel>(dlg, "Label1")->text(), "(COM) Порт :");
    ASSERT_EQ(child<QComboBox>(dlg, "ComComboBox1")->count(), 3);
    EXPECT_EQ(child<QComboBox>(dlg, "ComComboBox1")->itemText(0), "COM1");
    EXPECT_EQ(child<QComboBox>(dlg, "ComComboBox1")->itemText(1), "COM10");
    EXPECT_EQ(child<QComboBox>(dlg, "ComComboBox1")->itemText(2), "COM2");
    EXPECT_EQ(child<QComboBox>(dlg, "ComComboBox1")->currentIndex(), 0);
    EXPECT_FALSE(child<QComboBox>(dlg, "ComComboBox1")->isEditable());
    EXPECT_TRUE(child<QPushButton>(dlg, "BitBtn1")->isDefault());
    EXPECT_TRUE(child<QPushButton>(dlg, "BitBtn1")->isEnabled());
    EXPECT_EQ(child<QPushButton>(dlg, "BitBtn2")->text(), "Отказ");

    // The machine's devices follow the ports/ links by their COM names.
    EXPECT_EQ(TfrmComPort::portNames(ComPortMap(dir.path() + "/ports"), {"ttyUSB0", "ttyS1"}),
              (QStringList{"COM1", "COM10", "COM100", "COM2"}));
}

TEST(TfrmComPort, EmptyListCannotBeConfirmedAndCancelReturnsCancel) {
    QTemporaryDir dir;
    FakeMessages messages;
    TfrmComPort dlg(AppPaths::in(dir.path()), ComPortMap(dir.path() + "/ports"), {});
    EXPECT_EQ(child<QComboBox>(dlg, "ComComboBox1")->count(), 0);
    EXPECT_FALSE(child<QPushButton>(dlg, "BitBtn1")->isEnabled());
    dlg.show();
    child<QPushButton>(dlg, "BitBtn2")->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

// The dialog says what to do about a listed port whose device this user may
// not open, before the choice; a port it may open gets no such words.
TEST(TfrmComPort, RefusedPortSaysToJoinTheGroup) {
    NUV_AS_UNPRIVILEGED_USER();
    QTemporaryDir dir;
    FakeMessages messages;
    QDir().mkpath(dir.path() + "/ports");
    const QString refused = dir.path() + "/refused";
    QFile(refused).open(QIODevice::WriteOnly);
    QFile::setPermissions(refused, {});
    QFile::link(refused, dir.path() + "/ports/COM3");
    QFile::link("/dev/null", dir.path() + "/ports/COM4");
    TfrmComPort dlg(AppPaths::in(dir.path()), ComPortMap(dir.path() + "/ports"), {}, nullptr, "4");
    dlg.show();
    auto* advice = child<QLabel>(dlg, "lblAccess");
    EXPECT_FALSE(advice->isVisible());
    child<QComboBox>(dlg, "ComComboBox1")->setCurrentIndex(0);
    ASSERT_TRUE(advice->isVisible());
    EXPECT_TRUE(advice->text().startsWith(
        QStringLiteral("Нямате право на достъп до COM3 (%1). Добавете потребителя в групата "
                       "dialout: sudo adduser ")
            .arg(QFileInfo(refused).canonicalFilePath())))
        << advice->text().toStdString();
    EXPECT_TRUE(advice->text().endsWith("излезте от системата и влезте отново."));
    // The port can still be chosen: the group may be joined later.
    EXPECT_TRUE(child<QPushButton>(dlg, "BitBtn1")->isEnabled());
}

} // namespace
