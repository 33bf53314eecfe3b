#pragma once
// RFC 2217, the Telnet Com Port Control Option: the client's commands as subnegotiations of
// option 44, and the access server's answers (the command's code + 100) read back.
#include <cstdint>
#include <optional>
#include <vector>

namespace comport {
// Commands, client to access server; the server answers with the code + kServerOffset.
enum ECommand : std::uint8_t {
    SIGNATURE = 0,
    SET_BAUDRATE = 1,
    SET_DATASIZE = 2,
    SET_PARITY = 3,
    SET_STOPSIZE = 4,
    SET_CONTROL = 5,
    NOTIFY_LINESTATE = 6,
    NOTIFY_MODEMSTATE = 7,
    FLOWCONTROL_SUSPEND = 8,
    FLOWCONTROL_RESUME = 9,
    SET_LINESTATE_MASK = 10,
    SET_MODEMSTATE_MASK = 11,
    PURGE_DATA = 12,
};
constexpr std::uint8_t kServerOffset = 100;

// SET-PARITY values (0 asks for the current one, as for every setting).
enum EParityValue : std::uint8_t {
    PARITY_NONE = 1,
    PARITY_ODD,
    PARITY_EVEN,
    PARITY_MARK,
    PARITY_SPACE
};
// SET-STOPSIZE values.
enum EStopValue : std::uint8_t { STOP_1 = 1, STOP_2 = 2, STOP_1_5 = 3 };
// SET-CONTROL values used here.
enum EControlValue : std::uint8_t {
    CONTROL_FLOW_REQUEST = 0,
    CONTROL_FLOW_NONE = 1,
    CONTROL_FLOW_XONXOFF = 2,
    CONTROL_FLOW_HARDWARE = 3,
    CONTROL_DTR_ON = 8,
    CONTROL_DTR_OFF = 9,
    CONTROL_RTS_ON = 11,
    CONTROL_RTS_OFF = 12,
};
// PURGE-DATA values.
enum EPurgeValue : std::uint8_t { PURGE_RECEIVE = 1, PURGE_TRANSMIT = 2, PURGE_BOTH = 3 };
// The modem state's line bits (NOTIFY-MODEMSTATE); the low four bits tell which changed.
enum EModemBits : std::uint8_t {
    MODEM_CTS = 0x10,
    MODEM_DSR = 0x20,
    MODEM_RI = 0x40,
    MODEM_CD = 0x80
};
}  // namespace comport

// The whole subnegotiation of a command (IAC SB 44 command value IAC SE, IAC doubled).
// SET-BAUDRATE carries four bytes in network order, every other command one.
std::vector<std::uint8_t> ComPortCommand(comport::ECommand eCommand, std::uint32_t dwValue);

// A server's answer or notification, from the payload of a subnegotiation of option 44.
struct ComPortAnswer {
    comport::ECommand eCommand;  // the client command it answers (the code - 100)
    std::uint32_t dwValue;
};
// nullopt for a client code, an unknown command or a payload of the wrong length.
std::optional<ComPortAnswer> ParseComPortAnswer(const std::vector<std::uint8_t>& payload);
