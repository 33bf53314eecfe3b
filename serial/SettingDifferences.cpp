#include "SettingDifferences.h"

namespace {
const char* const PARITY_NAMES[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const STOP_NAMES[] = {"1", "1.5", "2"};
const char* const FLOW_NAMES[] = {"None", "CTS/RTS", "CTS/DTR", "DSR/RTS", "DSR/DTR", "XON/XOFF"};

std::string Line(const char* pszWhat, const std::string& strRequested,
                 const std::string& strActual) {
    return std::string(pszWhat) + "：请求 " + strRequested + "，实际 " + strActual;
}

// The name of a setting's code, or nullptr outside the names.
template <class E, std::size_t N>
const char* NameOf(const char* const (&arrNames)[N], E eValue) {
    const auto nCode = static_cast<int>(eValue);
    return nCode >= 0 && static_cast<std::size_t>(nCode) < N ? arrNames[nCode] : nullptr;
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
    const char* pszParity = NameOf(PARITY_NAMES, requested.eParity);
    const char* pszActualParity = NameOf(PARITY_NAMES, actual.eParity);
    if (pszParity != nullptr && pszActualParity != nullptr && requested.eParity != actual.eParity) {
        arrLines.push_back(Line("校验位", pszParity, pszActualParity));
    }
    const char* pszStop = NameOf(STOP_NAMES, requested.eStopBits);
    const char* pszActualStop = NameOf(STOP_NAMES, actual.eStopBits);
    if (pszStop != nullptr && pszActualStop != nullptr && requested.eStopBits != actual.eStopBits) {
        arrLines.push_back(Line("停止位", pszStop, pszActualStop));
    }
    return arrLines;
}

std::string DescribeFlowDifference(EFlowControl eRequested, EFlowControl eActual) {
    const char* pszRequested = NameOf(FLOW_NAMES, eRequested);
    const char* pszActual = NameOf(FLOW_NAMES, eActual);
    if (eRequested == eActual || pszRequested == nullptr || pszActual == nullptr) {
        return {};
    }
    return Line("流控", pszRequested, pszActual);
}
