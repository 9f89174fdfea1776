#include "app/TfrmComPort.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
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

} // namespace
