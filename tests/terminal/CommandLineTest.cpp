// The command line: every option and every kind of bad input through the parser, and the real
// program answering --help, --version and bad arguments without a display.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include "CommandLine.h"
#include "PtyPair.h"
#include "QtChinese.h"

namespace {

using EAction = SCommandLine::EAction;

struct SGoodRow {
    const char* pszName;
    QStringList arrArgs;
    EAction action;
    int nPort;
    const char* pszDevice;
    std::optional<std::uint32_t> dwBaud;
    std::optional<int> nDataBits, nParity, nStopBits;
    bool bOpen, bHex;
};

class CommandLineGood : public testing::TestWithParam<SGoodRow> {};

TEST_P(CommandLineGood, GivesTheSettingsForThisRun) {
    const SGoodRow& row = GetParam();
    const SCommandLine cmd = ParseCommandLine(row.arrArgs);
    EXPECT_EQ(cmd.action, row.action) << cmd.strError.toStdString();
    EXPECT_EQ(cmd.nPort, row.nPort);
    EXPECT_EQ(cmd.strDevice, QString::fromUtf8(row.pszDevice));
    EXPECT_EQ(cmd.dwBaud, row.dwBaud);
    EXPECT_EQ(cmd.nDataBits, row.nDataBits);
    EXPECT_EQ(cmd.nParity, row.nParity);
    EXPECT_EQ(cmd.nStopBits, row.nStopBits);
    EXPECT_EQ(cmd.bOpen, row.bOpen);
    EXPECT_EQ(cmd.bHex, row.bHex);
    EXPECT_TRUE(cmd.strError.isEmpty());
}

const std::nullopt_t no = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CommandLineGood,
    testing::Values(
        SGoodRow{"Nothing", {}, EAction::Run, 0, "", no, no, no, no, false, false},
        SGoodRow{"Port", {"COM3"}, EAction::Run, 3, "", no, no, no, no, false, false},
        SGoodRow{"PortAnyCase", {"com32"}, EAction::Run, 32, "", no, no, no, no, false, false},
        SGoodRow{
            "Device", {"/dev/null"}, EAction::Run, 0, "/dev/null", no, no, no, no, false, false},
        SGoodRow{"NetworkPort",
                 {"rfc2217://[::1]:2001", "-b", "115200", "--open"},
                 EAction::Run,
                 0,
                 "rfc2217://[::1]:2001",
                 115200u,
                 no,
                 no,
                 no,
                 true,
                 false},
        SGoodRow{
            "EveryOption",
            {"/dev/null", "-b", "115200", "-d", "7", "-p", "e", "-s", "1.5", "--open", "--hex"},
            EAction::Run,
            0,
            "/dev/null",
            115200u,
            7,
            2,
            1,
            true,
            true},
        SGoodRow{"RateOutsideTheList",
                 {"-b", "250000"},
                 EAction::Run,
                 0,
                 "",
                 250000u,
                 no,
                 no,
                 no,
                 false,
                 false},
        SGoodRow{"ValueJoinedToTheOption",
                 {"-b9600", "-d6", "-pS", "-s2"},
                 EAction::Run,
                 0,
                 "",
                 9600u,
                 6,
                 4,
                 2,
                 false,
                 false},
        SGoodRow{"ParityWords", {"-p", "Odd"}, EAction::Run, 0, "", no, no, 1, no, false, false},
        SGoodRow{"ParityMark", {"-p", "m"}, EAction::Run, 0, "", no, no, 3, no, false, false},
        SGoodRow{"ParityNone", {"-p", "n"}, EAction::Run, 0, "", no, no, 0, no, false, false},
        SGoodRow{"StopOne", {"-s", "1"}, EAction::Run, 0, "", no, no, no, 0, false, false},
        SGoodRow{"DataEight", {"-d", "8"}, EAction::Run, 0, "", no, 8, no, no, false, false},
        SGoodRow{"List", {"--list"}, EAction::List, 0, "", no, no, no, no, false, false},
        SGoodRow{"Help", {"--help"}, EAction::Help, 0, "", no, no, no, no, false, false},
        SGoodRow{"ShortHelp", {"-h"}, EAction::Help, 0, "", no, no, no, no, false, false},
        SGoodRow{"HelpWinsOverBadValues",
                 {"-b", "fast", "--help"},
                 EAction::Help,
                 0,
                 "",
                 no,
                 no,
                 no,
                 no,
                 false,
                 false},
        SGoodRow{"Version", {"--version"}, EAction::Version, 0, "", no, no, no, no, false, false}),
    [](const auto& info) { return info.param.pszName; });

struct SBadRow {
    const char* pszName;
    QStringList arrArgs;
    const char* pszChinese;  // part of the first line
    const char* pszEnglish;  // part of the second line
};

class CommandLineBad : public testing::TestWithParam<SBadRow> {};

TEST_P(CommandLineBad, IsRefusedInChineseAndEnglish) {
    const SBadRow& row = GetParam();
    const SCommandLine cmd = ParseCommandLine(row.arrArgs);
    EXPECT_EQ(cmd.action, EAction::Error);
    const QStringList arrLines = cmd.strError.split('\n');
    ASSERT_EQ(arrLines.size(), 2) << cmd.strError.toStdString();
    EXPECT_TRUE(arrLines[0].contains(QString::fromUtf8(row.pszChinese)))
        << arrLines[0].toStdString();
    EXPECT_TRUE(arrLines[1].contains(QString::fromUtf8(row.pszEnglish)))
        << arrLines[1].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CommandLineBad,
    testing::Values(
        SBadRow{"UnknownLongOption", {"--fast"}, "未知选项：--fast", "unknown option: --fast"},
        SBadRow{"UnknownShortOption", {"-x"}, "未知选项：-x", "unknown option: -x"},
        SBadRow{"MissingValue", {"-b"}, "选项缺少取值：-b", "missing value after -b"},
        SBadRow{"RateNotANumber", {"-b", "fast"}, "波特率", "baud rate"},
        SBadRow{"RateWithSign", {"-b", "-9600"}, "波特率", "baud rate"},
        SBadRow{"RateZero", {"-b", "0"}, "波特率", "baud rate"},
        SBadRow{"RateTooLarge", {"-b", "4294967296"}, "波特率", "baud rate"},
        SBadRow{"DataBitsNine", {"-d", "9"}, "数据位", "data bits"},
        SBadRow{"DataBitsFive", {"-d", "5"}, "数据位", "data bits"},
        SBadRow{"ParityUnknown", {"-p", "x"}, "校验位", "parity"},
        SBadRow{"StopBitsThree", {"-s", "3"}, "停止位", "stop bits"},
        SBadRow{"PortZero", {"COM0"}, "COM1 到 COM32", "COM1 to COM32"},
        SBadRow{"PortTooHigh", {"COM33"}, "COM1 到 COM32", "COM1 to COM32"},
        SBadRow{"MissingDevice", {"/dev/no-such-diVE"}, "设备不存在", "no such device"},
        SBadRow{"RegularFile", {"/etc/passwd"}, "不是字符设备", "not a character device"},
        SBadRow{"Folder", {"/dev"}, "不是字符设备", "not a character device"},
        SBadRow{"BadAddress", {"tcp://host"}, "地址格式不对", "an address must be"},
        SBadRow{"TwoDevices", {"COM1", "COM2"}, "只能指定一个设备", "only one device"}),
    [](const auto& info) { return info.param.pszName; });

TEST(CommandLine, HelpNamesEveryOptionInBothLanguages) {
    const QString strHelp = CommandLineHelp();
    for (const char* pszOption :
         {"-b", "-d", "-p", "-s", "--open", "--hex", "--list", "--help", "--version", "COMn"}) {
        EXPECT_TRUE(strHelp.contains(QLatin1String(pszOption))) << pszOption;
    }
    EXPECT_TRUE(strHelp.contains(QStringLiteral("波特率")));
    EXPECT_TRUE(strHelp.contains(QStringLiteral("baud rate")));
}

// The program itself, with no display at all and with one that does not answer: the answers
// come at once, and bad arguments leave with status 2 and no window.
struct SRunRow {
    const char* pszName;
    QStringList arrArgs;
    int nExit;
    const char* pszStdout;
    const char* pszStderr;
};

class ProgramCommandLine : public testing::TestWithParam<SRunRow> {};

TEST_P(ProgramCommandLine, AnswersWithoutADisplay) {
    const SRunRow& row = GetParam();
    for (const char* pszDisplay : {"", ":9999"}) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* pszVar : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QString::fromLatin1(pszVar));
        }
        if (*pszDisplay != '\0') {
            env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(pszDisplay));
        }
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(DIVE_PROGRAM), row.arrArgs);
        ASSERT_TRUE(program.waitForFinished(60000)) << "the program waits";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), row.nExit);
        const QString strOut = QString::fromUtf8(program.readAllStandardOutput());
        const QString strErr = QString::fromUtf8(program.readAllStandardError());
        EXPECT_TRUE(strOut.contains(QString::fromUtf8(row.pszStdout))) << strOut.toStdString();
        EXPECT_TRUE(strErr.contains(QString::fromUtf8(row.pszStderr))) << strErr.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ProgramCommandLine,
    testing::Values(SRunRow{"Version", {"--version"}, 0, "diVE 1.04\n", ""},
                    SRunRow{"Help", {"--help"}, 0, "--list", ""},
                    SRunRow{"BadRate", {"-b", "fast"}, 2, "", "dive: 波特率"},
                    SRunRow{"NotADevice", {"/etc/passwd"}, 2, "", "not a character device"},
                    SRunRow{"Unknown", {"--fast"}, 2, "", "dive: unknown option: --fast"}),
    [](const auto& info) { return info.param.pszName; });

// --list: each port with a device, its by-id name, its driver and who holds it. The devices
// present come from a folder standing for "/"; the settings assign a real pseudo-terminal to COM5,
// which a child process holds.
TEST(CommandLine, ListNamesEachDeviceWithItsByIdNameDriverAndHolder) {
    QTemporaryDir dir;
    const QString strRoot = dir.path();
    QDir(strRoot).mkpath(QStringLiteral("dev/serial/by-id"));
    QDir(strRoot).mkpath(QStringLiteral("sys/devices/usb1/1-1:1.0/ttyUSB0"));
    QDir(strRoot).mkpath(QStringLiteral("sys/bus/usb-serial/drivers/ftdi_sio"));
    QDir(strRoot).mkpath(QStringLiteral("sys/class/tty"));
    QFile(strRoot + QStringLiteral("/dev/ttyUSB0")).open(QIODevice::WriteOnly);
    QFile::link(QStringLiteral("../../ttyUSB0"),
                strRoot + QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"));
    QFile::link(QStringLiteral("../../devices/usb1/1-1:1.0/ttyUSB0"),
                strRoot + QStringLiteral("/sys/class/tty/ttyUSB0"));
    QFile::link(strRoot + QStringLiteral("/sys/devices/usb1/1-1:1.0/ttyUSB0"),
                strRoot + QStringLiteral("/sys/devices/usb1/1-1:1.0/ttyUSB0/device"));
    QFile::link(strRoot + QStringLiteral("/sys/bus/usb-serial/drivers/ftdi_sio"),
                strRoot + QStringLiteral("/sys/devices/usb1/1-1:1.0/ttyUSB0/driver"));

    QDir(strRoot).mkpath(QStringLiteral("proc/tty"));
    QFile drivers(strRoot + QStringLiteral("/proc/tty/drivers"));
    ASSERT_TRUE(drivers.open(QIODevice::WriteOnly));
    drivers.write(
        "serial               /dev/ttyS       4 64-111 serial\n"
        "pty_slave            /dev/pts      136 0-1048575 pty:slave\n");
    drivers.close();

    CPtyPair pty;
    const QString strIni = strRoot + QStringLiteral("/Vexor.ini");
    QFile ini(strIni);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[DEVICES]\nCOM5=%1\n")
                  .arg(QString::fromStdString(pty.SlavePath()))
                  .toUtf8());
    ini.close();
    QProcess holder;
    holder.setStandardInputFile(QString::fromStdString(pty.SlavePath()));
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(holder.waitForStarted());

    const QStringList arrLines =
        FormatPortList(CPortInfo(strRoot.toStdString()).DescribePorts(strIni.toStdString()))
            .split('\n', Qt::SkipEmptyParts);
    const qint64 nHolder = holder.processId();
    holder.kill();
    holder.waitForFinished();
    ASSERT_EQ(arrLines.size(), 3);
    EXPECT_EQ(arrLines[1].toStdString(),
              QStringLiteral("COM1\t%1/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\t"
                             "usb-FTDI_FT232R-if00-port0\tftdi_sio\t-")
                  .arg(strRoot)
                  .toStdString());
    EXPECT_EQ(arrLines[2].toStdString(), QStringLiteral("COM5\t%1\t-\tpty_slave\tsleep (PID %2)")
                                             .arg(QString::fromStdString(pty.SlavePath()))
                                             .arg(nHolder)
                                             .toStdString());
    EXPECT_EQ(FormatPortList({}), QStringLiteral("没有串口设备 / no serial devices\n"));
}

// Qt's own texts are Chinese whatever the locale.
TEST(QtChinese, MessageBoxButtonsSpeakChinese) {
    ASSERT_TRUE(InstallQtChinese(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("错误"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}

}  // namespace
