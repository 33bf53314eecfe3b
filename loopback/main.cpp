// dive-loopback: a pseudo-terminal that echoes what it receives and can stream test data, so
// that diVE can be tried without hardware. Prints the device path on its first line of output.
#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "IniFile.h"
#include "LoopbackDevice.h"

namespace {

constexpr int kBadArgumentsExit = 2;
constexpr unsigned kPortCount = 32;
constexpr std::uint32_t kDefaultRate = 1000;

volatile std::sig_atomic_t g_bStop = 0;

void OnStopSignal(int) {
    g_bStop = 1;
}

const char* const kHelp =
    "用法 Usage: dive-loopback [选项 OPTIONS]\n"
    "建立一个回环串口设备（伪终端）：收到的数据原样发回。\n"
    "Makes a loopback serial device (a pseudo-terminal): what it receives is sent back.\n"
    "第一行输出为设备路径。 The first line of output is the device path.\n"
    "\n"
    "  --stream text|bin   另外发送测试数据：文本行或 0 到 255 的字节\n"
    "                      also send test data: text lines or the bytes 0 to 255\n"
    "  --rate 字节/秒      测试数据的速率，默认 1000\n"
    "         BYTES_PER_S  rate of the test data, default 1000\n"
    "  --ini 文件 FILE     把设备写入该 Vexor.ini 的 [DEVICES] 一节\n"
    "                      write the device into section [DEVICES] of that Vexor.ini\n"
    "  --com N             使用的端口号 COM1 到 COM32，默认第一个空闲的\n"
    "                      the port entry COM1 to COM32, default the first free one\n"
    "  -h, --help          显示本帮助 show this help\n"
    "      --version       显示版本 show the version\n"
    "\n"
    "按 Ctrl+C 结束。 Ctrl+C ends it.\n";

int Refuse(const char* pszChinese, const char* pszEnglish, const char* pszValue) {
    std::fprintf(stderr,
                 "dive-loopback: %s%s\ndive-loopback: %s%s\n用法见 / see: dive-loopback --help\n",
                 pszChinese, pszValue, pszEnglish, pszValue);
    return kBadArgumentsExit;
}

bool ParseNumber(const char* pszText, unsigned long nMax, unsigned long& nValue) {
    if (pszText[0] < '0' || pszText[0] > '9') {
        return false;
    }
    char* pEnd = nullptr;
    errno = 0;
    nValue = std::strtoul(pszText, &pEnd, 10);
    return errno == 0 && *pEnd == '\0' && nValue >= 1 && nValue <= nMax;
}

// The first entry that names no device, or a device that is gone (an earlier loopback's).
unsigned FreeEntry(const CIniFile& ini) {
    for (unsigned n = 1; n <= kPortCount; ++n) {
        const std::string strPath = ini.ReadString("DEVICES", "COM" + std::to_string(n), "");
        struct stat st {};
        if (strPath.empty() || ::stat(strPath.c_str(), &st) != 0) {
            return n;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLoopbackDevice::EStream stream = CLoopbackDevice::EStream::None;
    unsigned long nRate = kDefaultRate;
    unsigned long nCom = 0;
    std::string strIni;
    enum { OPT_STREAM = 1000, OPT_RATE, OPT_INI, OPT_COM, OPT_VERSION };
    const option kOptions[] = {{"stream", required_argument, nullptr, OPT_STREAM},
                               {"rate", required_argument, nullptr, OPT_RATE},
                               {"ini", required_argument, nullptr, OPT_INI},
                               {"com", required_argument, nullptr, OPT_COM},
                               {"help", no_argument, nullptr, 'h'},
                               {"version", no_argument, nullptr, OPT_VERSION},
                               {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (int nOpt; (nOpt = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
        switch (nOpt) {
            case OPT_STREAM:
                if (std::strcmp(optarg, "text") == 0) {
                    stream = CLoopbackDevice::EStream::Text;
                } else if (std::strcmp(optarg, "bin") == 0) {
                    stream = CLoopbackDevice::EStream::Binary;
                } else {
                    return Refuse("测试数据须为 text 或 bin：",
                                  "the stream must be text or bin: ", optarg);
                }
                break;
            case OPT_RATE:
                if (!ParseNumber(optarg, 100000000, nRate)) {
                    return Refuse("速率须为 1 到 100000000 之间的整数：",
                                  "the rate must be a whole number from 1 to 100000000: ", optarg);
                }
                break;
            case OPT_INI:
                strIni = optarg;
                break;
            case OPT_COM:
                if (!ParseNumber(optarg, kPortCount, nCom)) {
                    return Refuse("端口号须为 1 到 32：",
                                  "the port entry must be 1 to 32: ", optarg);
                }
                break;
            case 'h':
                std::fputs(kHelp, stdout);
                return 0;
            case OPT_VERSION:
                std::puts("dive-loopback 1.04");
                return 0;
            case ':':
                return Refuse("选项缺少取值：", "missing value after ", argv[optind - 1]);
            default:
                return Refuse("未知选项：", "unknown option: ", argv[optind - 1]);
        }
    }
    if (optind < argc) {
        return Refuse("多余的参数：", "unexpected argument: ", argv[optind]);
    }
    if (nCom != 0 && strIni.empty()) {
        return Refuse("--com 须与 --ini 同用", "--com needs --ini", "");
    }

    CLoopbackDevice device;
    if (!device.Create()) {
        std::fprintf(stderr, "dive-loopback: 无法建立伪终端 / cannot make a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return 1;
    }
    device.SetStream(stream, static_cast<std::uint32_t>(nRate));
    if (!strIni.empty()) {
        CIniFile ini(strIni);
        const unsigned nEntry = nCom != 0 ? static_cast<unsigned>(nCom) : FreeEntry(ini);
        if (nEntry == 0 ||
            !ini.WriteString("DEVICES", "COM" + std::to_string(nEntry), device.DevicePath())) {
            std::fprintf(stderr, "dive-loopback: 无法写入 / cannot write %s\n", strIni.c_str());
            return 1;
        }
        std::fprintf(stderr, "dive-loopback: COM%u = %s (%s)\n", nEntry,
                     device.DevicePath().c_str(), strIni.c_str());
    }
    std::printf("%s\n", device.DevicePath().c_str());
    std::fflush(stdout);

    std::fputs("dive-loopback: 按 Ctrl+C 结束 / Ctrl+C ends\n", stderr);

    struct sigaction action {};
    action.sa_handler = OnStopSignal;  // no SA_RESTART: the wait ends at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    if (!device.Run(g_bStop)) {
        std::fprintf(stderr, "dive-loopback: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
