#pragma once
// The client's side of Telnet option negotiation (RFC 855), for a serial port on the network:
// BINARY both ways (RFC 856) so that every byte passes as it is, suppress-go-ahead both ways,
// COM-PORT-OPTION (RFC 2217) on our side; every other option is refused. A request to enter a
// state the option is already in is not answered, so no two sides ever loop; each command from
// the peer gets at most one answer.
#include <array>
#include <cstdint>
#include <vector>

#include "Telnet.h"

class CTelnetOptions {
public:
    // The first requests: WILL and DO BINARY, WILL SGA, DO SGA, and WILL COM-PORT-OPTION when
    // bComPort.
    void Start(bool bComPort, std::vector<std::uint8_t>& out);
    // Answers a negotiation from the peer (other commands are ignored).
    void Negotiate(const TelnetCommand& command, std::vector<std::uint8_t>& out);

    // The peer agreed (DO) to our COM-PORT-OPTION, or refused it (DONT) or never was asked.
    bool ComPortAgreed() const { return m_arrLocal[telnet::OPT_COM_PORT].bOn; }
    bool ComPortRefused() const { return m_bComPortRefused; }
    bool LocalOn(std::uint8_t byOption) const { return m_arrLocal[byOption].bOn; }
    bool RemoteOn(std::uint8_t byOption) const { return m_arrRemote[byOption].bOn; }

private:
    struct COption {
        bool bOn = false;
        bool bAsked = false;  // our request waits for its answer
    };
    static bool LocalWanted(std::uint8_t byOption);
    static bool RemoteWanted(std::uint8_t byOption);
    void Ask(std::array<COption, 256>& arrSide, std::uint8_t byCommand, std::uint8_t byOption,
             std::vector<std::uint8_t>& out);

    bool m_bComPort = false;
    bool m_bComPortRefused = false;
    std::array<COption, 256> m_arrLocal{};   // options we perform (WILL/WONT)
    std::array<COption, 256> m_arrRemote{};  // options the peer performs (DO/DONT)
};
