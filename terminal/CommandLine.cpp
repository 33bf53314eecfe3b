#include "CommandLine.h"

#include <sys/stat.h>

#include <QCommandLineParser>
#include <QRegularExpression>
#include <limits>

#include "NetAddress.h"

namespace {

constexpr int kPortCount = 32;

// A message in both languages: the first line Chinese, the second English.
QString Both(const QString& strChinese, const QString& strEnglish) {
    return strChinese + QLatin1Char('\n') + strEnglish;
}

std::optional<std::uint32_t> ParseBaud(const QString& strValue) {
    // Digits only: QString::toUInt would take blanks and a sign.
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,10}$"));
    if (!kDigits.match(strValue).hasMatch()) {
        return std::nullopt;
    }
    bool bOk = false;
    const qulonglong nRate = strValue.toULongLong(&bOk);
    if (!bOk || nRate == 0 || nRate > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(nRate);
}

std::optional<int> IndexOf(const QString& strValue, std::initializer_list<const char*> arrNames) {
    int nIndex = 0;
    for (const char* pszName : arrNames) {
        if (strValue.compare(QLatin1String(pszName), Qt::CaseInsensitive) == 0) {
            return nIndex;
        }
        ++nIndex;
    }
    return std::nullopt;
}

// "COM3" (any case) gives 3; anything else gives 0, with bOutOfRange set for a COM outside 1..32.
int PortNumberOf(const QString& strArg, bool& bOutOfRange) {
    static const QRegularExpression kCom(QStringLiteral("^COM([0-9]{1,9})$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = kCom.match(strArg);
    bOutOfRange = false;
    if (!match.hasMatch()) {
        return 0;
    }
    const int nPort = match.captured(1).toInt();
    bOutOfRange = nPort < 1 || nPort > kPortCount;
    return bOutOfRange ? 0 : nPort;
}

SCommandLine Refuse(const QString& strChinese, const QString& strEnglish) {
    SCommandLine result;
    result.action = SCommandLine::EAction::Error;
    result.strError = Both(strChinese, strEnglish);
    return result;
}

}  // namespace

SCommandLine ParseCommandLine(const QStringList& arrArgs) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption optBaud(QStringLiteral("b"), {}, QStringLiteral("BAUD"));
    const QCommandLineOption optData(QStringLiteral("d"), {}, QStringLiteral("BITS"));
    const QCommandLineOption optParity(QStringLiteral("p"), {}, QStringLiteral("PARITY"));
    const QCommandLineOption optStop(QStringLiteral("s"), {}, QStringLiteral("STOP"));
    const QCommandLineOption optOpen(QStringLiteral("open"));
    const QCommandLineOption optHex(QStringLiteral("hex"));
    const QCommandLineOption optList(QStringLiteral("list"));
    const QCommandLineOption optHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption optVersion(QStringLiteral("version"));
    parser.addOptions(
        {optBaud, optData, optParity, optStop, optOpen, optHex, optList, optHelp, optVersion});

    // QCommandLineParser takes the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("dive")} + arrArgs)) {
        const QStringList arrUnknown = parser.unknownOptionNames();
        if (!arrUnknown.isEmpty()) {
            const QString strName =
                (arrUnknown.first().size() == 1 ? "-" : "--") + arrUnknown.first();
            return Refuse(QStringLiteral("未知选项：%1").arg(strName),
                          QStringLiteral("unknown option: %1").arg(strName));
        }
        // The other refusal of the parser: an option that takes a value ends the line.
        static const QRegularExpression kValueOption(QStringLiteral("^-[bdps]$"));
        if (!arrArgs.isEmpty() && kValueOption.match(arrArgs.last()).hasMatch()) {
            return Refuse(QStringLiteral("选项缺少取值：%1").arg(arrArgs.last()),
                          QStringLiteral("missing value after %1").arg(arrArgs.last()));
        }
        return Refuse(QStringLiteral("参数有误：%1").arg(parser.errorText()), parser.errorText());
    }

    SCommandLine result;
    if (parser.isSet(optHelp)) {
        result.action = SCommandLine::EAction::Help;
        return result;
    }
    if (parser.isSet(optVersion)) {
        result.action = SCommandLine::EAction::Version;
        return result;
    }
    if (parser.isSet(optBaud)) {
        result.dwBaud = ParseBaud(parser.value(optBaud));
        if (!result.dwBaud) {
            return Refuse(QStringLiteral("波特率须为 1 到 2147483647 之间的整数：%1")
                              .arg(parser.value(optBaud)),
                          QStringLiteral("the baud rate must be a whole number from 1 to "
                                         "2147483647: %1")
                              .arg(parser.value(optBaud)));
        }
    }
    if (parser.isSet(optData)) {
        const std::optional<int> nIndex = IndexOf(parser.value(optData), {"6", "7", "8"});
        if (!nIndex) {
            return Refuse(
                QStringLiteral("数据位须为 6、7 或 8：%1").arg(parser.value(optData)),
                QStringLiteral("data bits must be 6, 7 or 8: %1").arg(parser.value(optData)));
        }
        result.nDataBits = *nIndex + 6;
    }
    if (parser.isSet(optParity)) {
        const QString strValue = parser.value(optParity);
        result.nParity = IndexOf(strValue, {"n", "o", "e", "m", "s"});
        if (!result.nParity) {
            result.nParity = IndexOf(strValue, {"none", "odd", "even", "mark", "space"});
        }
        if (!result.nParity) {
            return Refuse(QStringLiteral("校验位须为 n、o、e、m 或 s：%1").arg(strValue),
                          QStringLiteral("parity must be n, o, e, m or s: %1").arg(strValue));
        }
    }
    if (parser.isSet(optStop)) {
        result.nStopBits = IndexOf(parser.value(optStop), {"1", "1.5", "2"});
        if (!result.nStopBits) {
            return Refuse(
                QStringLiteral("停止位须为 1、1.5 或 2：%1").arg(parser.value(optStop)),
                QStringLiteral("stop bits must be 1, 1.5 or 2: %1").arg(parser.value(optStop)));
        }
    }

    const QStringList arrPositional = parser.positionalArguments();
    if (arrPositional.size() > 1) {
        return Refuse(
            QStringLiteral("只能指定一个设备：%1").arg(arrPositional.join(' ')),
            QStringLiteral("only one device may be given: %1").arg(arrPositional.join(' ')));
    }
    if (!arrPositional.isEmpty()) {
        const QString& strArg = arrPositional.first();
        bool bOutOfRange = false;
        result.nPort = PortNumberOf(strArg, bOutOfRange);
        if (bOutOfRange) {
            return Refuse(QStringLiteral("端口号须为 COM1 到 COM32：%1").arg(strArg),
                          QStringLiteral("the port must be COM1 to COM32: %1").arg(strArg));
        }
        if (result.nPort == 0 && IsNetAddress(strArg.toStdString())) {
            if (!ParseNetAddress(strArg.toStdString())) {
                return Refuse(
                    QStringLiteral("地址格式不对，应为 rfc2217://主机:端口 或 tcp://主机:端口：%1")
                        .arg(strArg),
                    QStringLiteral("an address must be rfc2217://HOST:PORT or tcp://HOST:PORT: %1")
                        .arg(strArg));
            }
            result.strDevice = strArg;
        } else if (result.nPort == 0) {
            struct stat st {};
            if (::stat(strArg.toLocal8Bit().constData(), &st) != 0) {
                return Refuse(QStringLiteral("设备不存在：%1").arg(strArg),
                              QStringLiteral("no such device: %1").arg(strArg));
            }
            if (!S_ISCHR(st.st_mode)) {
                return Refuse(QStringLiteral("不是字符设备：%1").arg(strArg),
                              QStringLiteral("not a character device: %1").arg(strArg));
            }
            result.strDevice = strArg;
        }
    }
    result.bOpen = parser.isSet(optOpen);
    result.bHex = parser.isSet(optHex);
    if (parser.isSet(optList)) {
        result.action = SCommandLine::EAction::List;
    }
    return result;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "用法 Usage: dive [设备|COMn DEVICE|COMn] [选项 OPTIONS]\n"
        "\n"
        "  设备 DEVICE         打开的串口设备，如 /dev/ttyUSB0，本次运行时映射到一个 COM 端口号\n"
        "                      a serial device such as /dev/ttyUSB0, mapped to a COM entry for "
        "this run\n"
        "  rfc2217://主机:端口 网络上的串口（RFC 2217），如 rfc2217://192.0.2.10:2001、\n"
        "                      rfc2217://[::1]:2001\n"
        "                      a serial port on the network (RFC 2217)\n"
        "  tcp://主机:端口     只传送数据的网络串口（设置不发送到设备）\n"
        "                      a network serial port that passes bytes only (no settings)\n"
        "  COMn                选择端口 COM1 到 COM32\n"
        "                      select port COM1 to COM32\n"
        "  -b 波特率 BAUD      波特率，可为列表之外的任意值，如 -b 250000\n"
        "                      baud rate, also one outside the list, e.g. -b 250000\n"
        "  -d 6|7|8            数据位\n"
        "                      data bits\n"
        "  -p n|o|e|m|s        校验位：无、奇、偶、标记、空格\n"
        "                      parity: none, odd, even, mark, space\n"
        "  -s 1|1.5|2          停止位\n"
        "                      stop bits\n"
        "  --open              启动时打开串口\n"
        "                      open the port at start\n"
        "  --hex               接收区以十六进制显示\n"
        "                      show received data as hexadecimal\n"
        "  --list              列出端口映射（端口、设备、by-id 名称、驱动、占用程序）后退出\n"
        "                      list the port map (entry, device, by-id name, driver, holder) "
        "and exit\n"
        "  -h, --help          显示本帮助后退出\n"
        "                      show this help and exit\n"
        "  --version           显示版本后退出\n"
        "                      show the version and exit\n"
        "\n"
        "命令行的设置只用于本次运行，不写入 Vexor.ini。\n"
        "Settings given here hold for this run only; they are not written to Vexor.ini.\n"
        "参数有误时退出状态为 2。 Bad arguments exit with status 2.\n");
}

QString CommandLineVersion() {
    return QStringLiteral("diVE 1.04");
}

QString FormatPortList(const std::vector<SPortRow>& arrRows) {
    const auto field = [](const std::string& strValue) {
        return strValue.empty() ? QStringLiteral("-") : QString::fromStdString(strValue);
    };
    QString strList = QStringLiteral("端口 Port\t设备 Device\tby-id\t驱动 Driver\t占用 Holder\n");
    bool bAny = false;
    for (const SPortRow& row : arrRows) {
        if (row.info.strPath.empty()) {
            continue;
        }
        bAny = true;
        strList += QStringLiteral("COM%1\t%2\t%3\t%4\t%5\n")
                       .arg(row.nPort)
                       .arg(field(row.info.strPath), field(row.info.strById),
                            field(row.info.strDriver), field(row.info.strHolder));
    }
    return bAny ? strList : QStringLiteral("没有串口设备 / no serial devices\n");
}
