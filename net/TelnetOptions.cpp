#include "TelnetOptions.h"

using namespace telnet;

bool CTelnetOptions::LocalWanted(std::uint8_t byOption) {
    return byOption == OPT_BINARY || byOption == OPT_SGA || byOption == OPT_COM_PORT;
}

bool CTelnetOptions::RemoteWanted(std::uint8_t byOption) {
    return byOption == OPT_BINARY || byOption == OPT_SGA;
}

void CTelnetOptions::Ask(std::array<COption, 256>& arrSide, std::uint8_t byCommand,
                         std::uint8_t byOption, std::vector<std::uint8_t>& out) {
    arrSide[byOption].bAsked = true;
    AppendTelnetNegotiation(out, byCommand, byOption);
}

void CTelnetOptions::Start(bool bComPort, std::vector<std::uint8_t>& out) {
    m_bComPort = bComPort;
    Ask(m_arrLocal, WILL, OPT_BINARY, out);
    Ask(m_arrRemote, DO, OPT_BINARY, out);
    Ask(m_arrLocal, WILL, OPT_SGA, out);
    Ask(m_arrRemote, DO, OPT_SGA, out);
    if (bComPort) {
        Ask(m_arrLocal, WILL, OPT_COM_PORT, out);
    }
}

void CTelnetOptions::Negotiate(const TelnetCommand& command, std::vector<std::uint8_t>& out) {
    const std::uint8_t byOption = command.byOption;
    const bool bLocal = command.byCommand == DO || command.byCommand == DONT;
    if (!bLocal && command.byCommand != WILL && command.byCommand != WONT) {
        return;
    }
    COption& option = bLocal ? m_arrLocal[byOption] : m_arrRemote[byOption];
    const bool bWanted = bLocal ? LocalWanted(byOption) && (byOption != OPT_COM_PORT || m_bComPort)
                                : RemoteWanted(byOption);
    const bool bEnable = command.byCommand == DO || command.byCommand == WILL;
    const std::uint8_t byYes = bLocal ? WILL : DO;
    const std::uint8_t byNo = bLocal ? WONT : DONT;
    const bool bWasAsked = option.bAsked;
    option.bAsked = false;
    if (bEnable) {
        if (option.bOn) {
            return;
        }
        if (!bWanted) {
            AppendTelnetNegotiation(out, byNo, byOption);
            return;
        }
        option.bOn = true;
        if (!bWasAsked) {
            AppendTelnetNegotiation(out, byYes, byOption);
        }
        return;
    }
    if (bLocal && byOption == OPT_COM_PORT && m_bComPort) {
        m_bComPortRefused = true;
    }
    if (option.bOn) {
        option.bOn = false;
        AppendTelnetNegotiation(out, byNo, byOption);
    }
}
