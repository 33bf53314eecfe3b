// The send conversion and the display rendering on any bytes. The first byte chooses the mode
// and where the input is cut for the appending form.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Codec.h"
#include "FuzzCheck.h"
#include "SendTokens.h"

namespace {

void CheckSend(const std::string& strText) {
    // Text mode: exactly the text without its surrounding white space.
    const auto itBegin = std::find_if_not(strText.begin(), strText.end(), IsSpace);
    const auto itEnd = std::find_if_not(strText.rbegin(), strText.rend(), IsSpace).base();
    const std::vector<std::uint8_t> sent = TextToSendBytes(strText, false);
    FUZZ_CHECK(itBegin < itEnd ? sent == std::vector<std::uint8_t>(itBegin, itEnd) : sent.empty());
    // Hexadecimal mode: one byte a token, at most kMaxSendBytes.
    FUZZ_CHECK(TextToSendBytes(strText, true).size() ==
               std::min(CountTokens(strText), kMaxSendBytes));
}

void CheckDisplay(const std::vector<std::uint8_t>& bytes, std::size_t nCut, bool bLfToCrLf) {
    const std::string strText = BytesToDisplayText(bytes.data(), bytes.size(), bLfToCrLf);
    std::string strExpected;
    for (std::uint8_t by : bytes) {
        if (by == '\n' && bLfToCrLf) {
            strExpected += '\r';
        }
        strExpected += by == 0 ? '.' : static_cast<char>(by);
    }
    FUZZ_CHECK(strText == strExpected);
    // Rendering in two pieces gives the same text.
    std::string strPieces;
    AppendDisplayText(strPieces, bytes.data(), nCut, bLfToCrLf);
    AppendDisplayText(strPieces, bytes.data() + nCut, bytes.size() - nCut, bLfToCrLf);
    FUZZ_CHECK(strPieces == strText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider input(pData, nSize);
    const bool bLfToCrLf = input.ConsumeBool();
    const std::string strRest = input.ConsumeRemainingBytesAsString();
    const std::vector<std::uint8_t> bytes(strRest.begin(), strRest.end());
    CheckSend(strRest);
    CheckDisplay(bytes, bytes.size() / 3, bLfToCrLf);
    return 0;
}
