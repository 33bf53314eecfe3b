// The device picker: its model of the port map over a folder standing for "/", assigning and
// clearing entries in the settings file, and the dialog following devices that come and go
// without losing its selection.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "DevicePicker.h"
#include "DeviceWatcher.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "PortMapModel.h"
#include "PtyPair.h"

namespace {

class DevicePickerTest : public testing::Test {
protected:
    void SetUp() override {
        QDir(Root()).mkpath(QStringLiteral("dev/serial/by-id"));
        QDir(Root()).mkpath(QStringLiteral("sys/devices/usb1/ttyUSB0"));
        QDir(Root()).mkpath(QStringLiteral("sys/bus/usb-serial/drivers/ftdi_sio"));
        QDir(Root()).mkpath(QStringLiteral("sys/class/tty"));
        Node(QStringLiteral("ttyUSB0"));
        QFile::link(QStringLiteral("../../ttyUSB0"),
                    Root() + QStringLiteral("/dev/serial/by-id/") + kById);
        QFile::link(Root() + QStringLiteral("/sys/devices/usb1/ttyUSB0"),
                    Root() + QStringLiteral("/sys/class/tty/ttyUSB0"));
        QFile::link(Root() + QStringLiteral("/sys/devices/usb1/ttyUSB0"),
                    Root() + QStringLiteral("/sys/devices/usb1/ttyUSB0/device"));
        QFile::link(Root() + QStringLiteral("/sys/bus/usb-serial/drivers/ftdi_sio"),
                    Root() + QStringLiteral("/sys/devices/usb1/ttyUSB0/driver"));
        CIniFile(Ini()).WriteString("DEVICES", "COM2", m_pty.SlavePath());
    }

    QString Root() const { return m_dir.path(); }
    std::string Ini() const { return m_dir.filePath(QStringLiteral("Vexor.ini")).toStdString(); }
    QString ById() const { return Root() + QStringLiteral("/dev/serial/by-id/") + kById; }
    void Node(const QString& strName) {
        QFile(Root() + QStringLiteral("/dev/") + strName).open(QIODevice::WriteOnly);
    }
    static QString Cell(const CPortMapModel& model, int nRow, int nColumn) {
        return model.index(nRow, nColumn).data().toString();
    }
    std::string Entry(int nPort) const {
        return CIniFile(Ini()).ReadString("DEVICES", "COM" + std::to_string(nPort), "?");
    }

    static constexpr const char* kById = "usb-FTDI_FT232R_A1-if00-port0";
    QTemporaryDir m_dir;
    CPtyPair m_pty;
};

TEST_F(DevicePickerTest, ModelShowsEveryEntryWithDeviceByIdNameDriverAndHolder) {
    QProcess holder;  // another program holding the assigned pseudo-terminal
    holder.setStandardInputFile(QString::fromStdString(m_pty.SlavePath()));
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(holder.waitForStarted());
    CPortMapModel model(Ini(), Root().toStdString());
    const qint64 nHolder = holder.processId();
    holder.kill();
    holder.waitForFinished();

    ASSERT_EQ(model.rowCount(), 32);
    EXPECT_EQ(Cell(model, 31, CPortMapModel::COL_PORT), QStringLiteral("COM32"));
    // COM1: the adapter present, by its by-id link; COM2: the assigned pseudo-terminal.
    EXPECT_EQ(Cell(model, 0, CPortMapModel::COL_DEVICE), ById());
    EXPECT_EQ(Cell(model, 0, CPortMapModel::COL_BYID), QString::fromLatin1(kById));
    EXPECT_EQ(Cell(model, 0, CPortMapModel::COL_DRIVER), QStringLiteral("ftdi_sio"));
    EXPECT_FALSE(model.IsAssigned(0));
    EXPECT_TRUE(model.index(0, CPortMapModel::COL_DEVICE).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(Cell(model, 1, CPortMapModel::COL_DEVICE), QString::fromStdString(m_pty.SlavePath()));
    EXPECT_EQ(Cell(model, 1, CPortMapModel::COL_HOLDER),
              QStringLiteral("sleep (PID %1)").arg(nHolder));
    EXPECT_TRUE(model.IsAssigned(1));
    EXPECT_FALSE(model.index(1, CPortMapModel::COL_DEVICE).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(Cell(model, 2, CPortMapModel::COL_DEVICE), QString());
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("占用程序"));
    EXPECT_EQ(model.PresentDevices(), QStringList{ById()});
}

TEST_F(DevicePickerTest, AssigningWritesTheEntryAndMovesADeviceClearingGivesItBack) {
    CPortMapModel model(Ini(), Root().toStdString());
    ASSERT_TRUE(model.Assign(4, ById()));
    EXPECT_EQ(Entry(5), ById().toStdString());
    EXPECT_EQ(Cell(model, 4, CPortMapModel::COL_DRIVER), QStringLiteral("ftdi_sio"));
    EXPECT_EQ(Cell(model, 0, CPortMapModel::COL_DEVICE), QString());  // no longer free to take

    // The pseudo-terminal of COM2 moves to COM3.
    ASSERT_TRUE(model.Assign(2, QString::fromStdString(m_pty.SlavePath())));
    EXPECT_EQ(Entry(3), m_pty.SlavePath());
    EXPECT_EQ(Entry(2), "");
    EXPECT_FALSE(model.IsAssigned(1));

    ASSERT_TRUE(model.Clear(4));
    EXPECT_EQ(Entry(5), "");
    EXPECT_EQ(Cell(model, 0, CPortMapModel::COL_DEVICE), ById());
    EXPECT_FALSE(model.IsAssigned(4));
}

TEST_F(DevicePickerTest, FollowsDevicesPluggedInAndOutKeepingTheSelection) {
    CDeviceWatcher watcher(Root());
    CDevicePickerDlg picker(Ini(), 3, &watcher, nullptr, Root().toStdString());
    picker.show();
    EXPECT_EQ(picker.SelectedRow(), 2);
    Node(QStringLiteral("ttyACM0"));  // plugged in: the next free entry after COM1, COM2
    QTRY_COMPARE_WITH_TIMEOUT(Cell(picker.Model(), 2, CPortMapModel::COL_DEVICE),
                              Root() + QStringLiteral("/dev/ttyACM0"), 20000);
    EXPECT_EQ(picker.SelectedRow(), 2);
    QFile::remove(ById());
    QFile::remove(Root() + QStringLiteral("/dev/ttyUSB0"));  // unplugged
    QTRY_COMPARE_WITH_TIMEOUT(Cell(picker.Model(), 0, CPortMapModel::COL_DEVICE),
                              Root() + QStringLiteral("/dev/ttyACM0"), 20000);
    EXPECT_EQ(picker.SelectedRow(), 2);
}

TEST_F(DevicePickerTest, AssignAndClearButtonsWorkOnTheSelectedEntry) {
    CDevicePickerDlg picker(Ini(), 7, nullptr, nullptr, Root().toStdString());
    auto* pDevice = picker.findChild<QComboBox*>();
    ASSERT_NE(pDevice, nullptr);
    const auto button = [&](const char* pszText) -> QPushButton* {
        for (QPushButton* pButton : picker.findChildren<QPushButton*>()) {
            if (pButton->text() == QString::fromUtf8(pszText)) {
                return pButton;
            }
        }
        return nullptr;
    };
    QPushButton* pAssign = button("指定");
    QPushButton* pClear = button("清除");
    ASSERT_NE(pAssign, nullptr);
    ASSERT_NE(pClear, nullptr);
    EXPECT_FALSE(pClear->isEnabled());  // COM7 has no entry to clear
    pDevice->setCurrentText(QStringLiteral("/dev/ttyS9"));
    QTest::mouseClick(pAssign, Qt::LeftButton);
    EXPECT_EQ(Entry(7), "/dev/ttyS9");
    EXPECT_TRUE(pClear->isEnabled());
    QTest::mouseClick(pClear, Qt::LeftButton);
    EXPECT_EQ(Entry(7), "");
    EXPECT_FALSE(pClear->isEnabled());
}

// A typed path: any character device (a pseudo-terminal, a link to one, a node the scan does not
// know, one not plugged in yet) or a well-formed network address is assigned; anything else is
// refused with a reason that says what to mend, the settings file untouched and the typed text
// kept.
TEST_F(DevicePickerTest, TakesATypedDeviceOrAddressAndRefusesOthersWithTheReason) {
    const QString strLink = Root() + QStringLiteral("/ttyBoard");
    QFile::link(QString::fromStdString(m_pty.SlavePath()), strLink);
    std::vector<QString> arrMessages;
    CMessageBox::SetInterceptor(
        [&](const SMessage& message) { arrMessages.push_back(message.strText); });
    CDevicePickerDlg picker(Ini(), 7, nullptr, nullptr, Root().toStdString());
    auto* pDevice = picker.findChild<QComboBox*>();
    ASSERT_NE(pDevice, nullptr);
    const struct {
        QString strTyped;
        QString strReason;  // empty: taken
    } arrRows[] = {
        {QString::fromStdString(m_pty.SlavePath()), {}},
        {strLink, {}},
        {QStringLiteral("/dev/null"), {}},
        {Root() + QStringLiteral("/ttyNotYet"), {}},
        {Root() + QStringLiteral("/dev/ttyUSB0"), QStringLiteral("不是字符设备")},  // a file
        {Root(), QStringLiteral("不是字符设备")},                                   // a folder
        {QStringLiteral("ttyUSB0"), QStringLiteral("完整路径")},
        {QStringLiteral("rfc2217://192.0.2.10:2001"), {}},
        {QStringLiteral("tcp://rack-7.lab:4001"), {}},
        {QStringLiteral("tcp://[::1]:4001"), {}},
        {QStringLiteral("rfc2217://[::1]"), QStringLiteral("缺少端口号")},
        {QStringLiteral("rfc2217://:2001"), QStringLiteral("缺少主机名")},
        {QStringLiteral("tcp://::1:4001"), QStringLiteral("IPv6 地址要写在方括号中")},
        {QStringLiteral("rfc2217://host:70000"), QStringLiteral("1 到 65535")},
        {QStringLiteral("rfc2217://my host:2001"), QStringLiteral("不能有空格")},
    };
    for (const auto& row : arrRows) {
        const std::string strBefore = Entry(7);
        arrMessages.clear();
        pDevice->setCurrentText(row.strTyped);
        picker.OnAssign();
        const bool bTaken = row.strReason.isEmpty();
        EXPECT_EQ(Entry(7), bTaken ? row.strTyped.toStdString() : strBefore)
            << row.strTyped.toStdString();
        ASSERT_EQ(arrMessages.size(), bTaken ? 0u : 1u) << row.strTyped.toStdString();
        if (!bTaken) {
            EXPECT_TRUE(arrMessages[0].contains(row.strReason)) << arrMessages[0].toStdString();
        }
        EXPECT_EQ(pDevice->currentText(), row.strTyped);
    }
    CMessageBox::SetInterceptor({});
}

// A port on another machine in the map: its protocol in the driver column, no by-id name or
// holder; the field it is typed into is named for assistive technology by its label.
TEST_F(DevicePickerTest, NetworkEntryShowsItsProtocolAndTheFieldIsLabelled) {
    CDevicePickerDlg picker(Ini(), 3, nullptr, nullptr, Root().toStdString());
    auto* pDevice = picker.findChild<QComboBox*>();
    ASSERT_NE(pDevice, nullptr);
    const struct {
        QString strAddress;
        QString strDriver;
    } arrRows[] = {{QStringLiteral("rfc2217://[::1]:2001"), QStringLiteral("rfc2217")},
                   {QStringLiteral("tcp://127.0.0.1:4001"), QStringLiteral("tcp")}};
    for (const auto& row : arrRows) {
        pDevice->setCurrentText(row.strAddress);
        picker.OnAssign();
        EXPECT_EQ(Cell(picker.Model(), 2, CPortMapModel::COL_DEVICE), row.strAddress);
        EXPECT_EQ(Cell(picker.Model(), 2, CPortMapModel::COL_DRIVER), row.strDriver);
        EXPECT_EQ(Cell(picker.Model(), 2, CPortMapModel::COL_BYID), QString());
        EXPECT_EQ(Cell(picker.Model(), 2, CPortMapModel::COL_HOLDER), QString());
        EXPECT_TRUE(picker.Model().IsAssigned(2));
    }
    EXPECT_TRUE(pDevice->toolTip().contains(QStringLiteral("rfc2217://主机:端口")));
    QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(pDevice);
    ASSERT_NE(pAccessible, nullptr);
    const auto arrLabels = pAccessible->relations(QAccessible::Label);
    ASSERT_EQ(arrLabels.size(), 1);
    EXPECT_EQ(arrLabels[0].first->text(QAccessible::Name), QStringLiteral("设备或地址："));
}

}  // namespace
