#include "ComPortOption.h"

#include "Telnet.h"

using namespace comport;

std::vector<std::uint8_t> ComPortCommand(ECommand eCommand, std::uint32_t dwValue) {
    std::vector<std::uint8_t> payload{eCommand};
    if (eCommand == SET_BAUDRATE) {
        for (int nShift = 24; nShift >= 0; nShift -= 8) {
            payload.push_back(static_cast<std::uint8_t>(dwValue >> nShift));
        }
    } else {
        payload.push_back(static_cast<std::uint8_t>(dwValue));
    }
    std::vector<std::uint8_t> out;
    AppendTelnetSubnegotiation(out, telnet::OPT_COM_PORT, payload);
    return out;
}

std::optional<ComPortAnswer> ParseComPortAnswer(const std::vector<std::uint8_t>& payload) {
    if (payload.empty() || payload[0] < kServerOffset || payload[0] > kServerOffset + PURGE_DATA) {
        return std::nullopt;
    }
    const auto eCommand = static_cast<ECommand>(payload[0] - kServerOffset);
    // A signature is text of any length; it is not needed.
    if (eCommand == SIGNATURE) {
        return std::nullopt;
    }
    const std::size_t nWanted = eCommand == SET_BAUDRATE ? 5 : 2;
    if (payload.size() != nWanted) {
        return std::nullopt;
    }
    std::uint32_t dwValue = 0;
    for (std::size_t i = 1; i < payload.size(); ++i) {
        dwValue = (dwValue << 8) | payload[i];
    }
    return ComPortAnswer{eCommand, dwValue};
}
