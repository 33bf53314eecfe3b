#pragma once
// Telnet (RFC 854/855) as a byte stream: the reader separates data bytes from commands, option
// negotiations and subnegotiations; the writer doubles IAC in data and frames commands.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace telnet {
constexpr std::uint8_t IAC = 255;
constexpr std::uint8_t DONT = 254;
constexpr std::uint8_t DO = 253;
constexpr std::uint8_t WONT = 252;
constexpr std::uint8_t WILL = 251;
constexpr std::uint8_t SB = 250;
constexpr std::uint8_t SE = 240;

constexpr std::uint8_t OPT_BINARY = 0;     // RFC 856
constexpr std::uint8_t OPT_SGA = 3;        // suppress go-ahead
constexpr std::uint8_t OPT_COM_PORT = 44;  // RFC 2217
}  // namespace telnet

// One command from the peer: a negotiation (WILL/WONT/DO/DONT and its option), a
// subnegotiation (SB, its option and payload with IAC IAC undone), or another command (NOP, GA,
// BRK...: byCommand alone).
struct TelnetCommand {
    std::uint8_t byCommand = 0;
    std::uint8_t byOption = 0;
    std::vector<std::uint8_t> payload;
};

class CTelnetReader {
public:
    // Longer subnegotiations are dropped whole (RFC 2217's are at most a few bytes; a signature
    // text is a line): memory stays bounded whatever the peer sends.
    static constexpr std::size_t kMaxSubnegotiation = 256;

    // Appends the data bytes among pBytes to data and the complete commands to arrCommands.
    // A sequence cut between two calls is completed by the next.
    void Feed(const std::uint8_t* pBytes, std::size_t nCount, std::vector<std::uint8_t>& data,
              std::vector<TelnetCommand>& arrCommands);
    // Subnegotiations dropped for their length so far.
    std::size_t DroppedCount() const { return m_nDropped; }

private:
    enum class EState { Data, Iac, Option, SubOption, Sub, SubIac };

    void EndSubnegotiation(std::vector<TelnetCommand>& arrCommands);

    EState m_eState = EState::Data;
    std::uint8_t m_byCommand = 0;  // the negotiation whose option comes next
    TelnetCommand m_sub;
    bool m_bSubTooLong = false;
    std::size_t m_nDropped = 0;
};

// Appends the bytes with every IAC doubled.
void AppendTelnetData(std::vector<std::uint8_t>& out, const std::uint8_t* pBytes,
                      std::size_t nCount);
// IAC byCommand byOption.
void AppendTelnetNegotiation(std::vector<std::uint8_t>& out, std::uint8_t byCommand,
                             std::uint8_t byOption);
// IAC SB byOption payload (IAC doubled) IAC SE.
void AppendTelnetSubnegotiation(std::vector<std::uint8_t>& out, std::uint8_t byOption,
                                const std::vector<std::uint8_t>& payload);
