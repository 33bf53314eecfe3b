#include "SettingDifferences.h"

namespace {
const char* const PARITY_NAMES[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const STOP_NAMES[] = {"1", "1.5", "2"};
const char* const FLOW_NAMES[] = {"None", "CTS/RTS", "CTS/DTR", "DSR/RTS", "DSR/DTR", "XON/XOFF"};

std::string Line(const char* pszWhat, const std::string& strRequested,
                 const std::string& strActual) {
    return std::string(pszWhat) + "：请求 " + strRequested + "，实际 " + strActual;
}
}  // namespace

std::vector<std::string> DescribeSettingDifferences(const LineSettings& requested,
                                                    const LineSettings& actual) {
    std::vector<std::string> arrLines;
    if (requested.dwBaudRate != actual.dwBaudRate) {
        arrLines.push_back(Line("波特率", std::to_string(requested.dwBaudRate),
                                std::to_string(actual.dwBaudRate)));
    }
    if (requested.nDataBits != actual.nDataBits) {
        arrLines.push_back(
            Line("数据位", std::to_string(requested.nDataBits), std::to_string(actual.nDataBits)));
    }
    if (requested.nParity >= 0 && requested.nParity <= 4 && requested.nParity != actual.nParity) {
        arrLines.push_back(
            Line("校验位", PARITY_NAMES[requested.nParity], PARITY_NAMES[actual.nParity % 5]));
    }
    if (requested.nStopBits >= 0 && requested.nStopBits <= 2 &&
        requested.nStopBits != actual.nStopBits) {
        arrLines.push_back(
            Line("停止位", STOP_NAMES[requested.nStopBits], STOP_NAMES[actual.nStopBits % 3]));
    }
    return arrLines;
}

std::string DescribeFlowDifference(int nRequestedMode, int nActualMode) {
    if (nRequestedMode == nActualMode || nRequestedMode < 0 || nRequestedMode > 5 ||
        nActualMode < 0 || nActualMode > 5) {
        return {};
    }
    return Line("流控", FLOW_NAMES[nRequestedMode], FLOW_NAMES[nActualMode]);
}
