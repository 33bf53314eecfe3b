// The Telnet and RFC 2217 reading of any bytes a server could send. The first byte sets the size
// of the pieces the stream arrives in; the rest is the stream, then the same stream with its
// bytes sent as data (every IAC doubled) behind it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "ComPortOption.h"
#include "FuzzCheck.h"
#include "Telnet.h"
#include "TelnetOptions.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

struct CRead {
    Bytes data;
    std::vector<TelnetCommand> arrCommands;
};

CRead ReadInPieces(const Bytes& stream, std::size_t nPiece) {
    CTelnetReader reader;
    CRead read;
    for (std::size_t i = 0; i < stream.size(); i += nPiece) {
        reader.Feed(stream.data() + i, std::min(nPiece, stream.size() - i), read.data,
                    read.arrCommands);
    }
    return read;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider input(pData, nSize);
    const std::size_t nPiece = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string strRest = input.ConsumeRemainingBytesAsString();
    const Bytes stream(strRest.begin(), strRest.end());

    // Any cut of the stream reads the same; no subnegotiation outgrows the bound.
    const CRead whole = ReadInPieces(stream, stream.size() + 1);
    const CRead pieces = ReadInPieces(stream, nPiece);
    FUZZ_CHECK(whole.data == pieces.data);
    FUZZ_CHECK(whole.arrCommands.size() == pieces.arrCommands.size());
    FUZZ_CHECK(whole.data.size() <= stream.size());
    CTelnetOptions options;
    Bytes out;
    options.Start(true, out);
    for (std::size_t i = 0; i < whole.arrCommands.size(); ++i) {
        const TelnetCommand& command = whole.arrCommands[i];
        FUZZ_CHECK(command.payload == pieces.arrCommands[i].payload);
        FUZZ_CHECK(command.payload.size() <= CTelnetReader::kMaxSubnegotiation);
        if (command.byCommand == telnet::SB && command.byOption == telnet::OPT_COM_PORT) {
            ParseComPortAnswer(command.payload);
        }
        // Each negotiation gets at most one answer of three bytes.
        const std::size_t nBefore = out.size();
        options.Negotiate(command, out);
        FUZZ_CHECK(out.size() - nBefore == 0 || out.size() - nBefore == 3);
    }

    // The same bytes sent as data arrive exact.
    Bytes escaped;
    AppendTelnetData(escaped, stream.data(), stream.size());
    FUZZ_CHECK(ReadInPieces(escaped, nPiece).data == stream);
    return 0;
}
