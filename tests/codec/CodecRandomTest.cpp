// Bounded random input for every codec function: fixed seed, so a failure repeats.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "Codec.h"
#include "SendTokens.h"

namespace {

constexpr int kIterations = 20000;
constexpr std::size_t kMaxLength = 1500;  // beyond kMaxSendBytes tokens now and then

// Texts made mostly of what a send box holds: hex digits, blanks, line breaks, GBK bytes, junk.
class CRandomText {
public:
    explicit CRandomText(unsigned nSeed) : m_rng(nSeed) {}

    std::string Next() {
        static constexpr std::string_view kAlphabet =
            "0123456789abcdefABCDEFgxZ    \t\r\n\v\f\xB0\xC4\xE3\x80\xFF\x7F";
        const std::size_t nLength = Pick(Pick(2) == 0 ? 8 : kMaxLength);
        std::string strText(nLength, '\0');
        const bool bAnyByte = Pick(4) == 0;
        for (char& c : strText) {
            c = bAnyByte ? static_cast<char>(Pick(256))
                         : kAlphabet[Pick(kAlphabet.size() - 1) + (Pick(50) == 0 ? 1 : 0)];
        }
        return strText;
    }

    std::size_t Pick(std::size_t nBound) {
        return std::uniform_int_distribution<std::size_t>(0, nBound)(m_rng);
    }

private:
    std::mt19937 m_rng;
};

std::vector<std::uint8_t> AsBytes(const std::string& strText) {
    return std::vector<std::uint8_t>(strText.begin(), strText.end());
}

TEST(CodecRandom, RenderingsKeepTheirShape) {
    CRandomText random(20240601);
    for (int nIteration = 0; nIteration < kIterations; ++nIteration) {
        const std::vector<std::uint8_t> bytes = AsBytes(random.Next());
        const std::string strHex = BytesToHexText(bytes.data(), bytes.size());
        ASSERT_EQ(strHex.size(), 3 * bytes.size());
        // Hex text reads back as the bytes it shows, up to the send limit.
        const std::size_t nBack = std::min(bytes.size(), kMaxSendBytes);
        ASSERT_EQ(TextToSendBytes(strHex, true),
                  std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + nBack));

        const bool bLfToCrLf = random.Pick(1) == 1;
        const std::string strText = BytesToDisplayText(bytes.data(), bytes.size(), bLfToCrLf);
        const auto nLf = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
        ASSERT_EQ(strText.size(), bytes.size() + (bLfToCrLf ? nLf : 0));
        ASSERT_EQ(strText.find('\0'), std::string::npos);
        // Dropping the CR before each LF and reading '.' for NUL gives the bytes back.
        std::string strBack;
        for (std::size_t n = 0; n < strText.size(); ++n) {
            if (bLfToCrLf && strText[n] == '\r' && n + 1 < strText.size() &&
                strText[n + 1] == '\n') {
                ++n;
            }
            strBack += strText[n];
        }
        ASSERT_EQ(strBack.size(), bytes.size());
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            ASSERT_EQ(strBack[n], bytes[n] == 0 ? '.' : static_cast<char>(bytes[n]));
        }
    }
}

TEST(CodecRandom, SendTextFollowsTrimAndTokenRules) {
    CRandomText random(7);
    for (int nIteration = 0; nIteration < kIterations; ++nIteration) {
        const std::string strText = random.Next();
        const std::vector<std::uint8_t> sent = TextToSendBytes(strText, false);
        if (!sent.empty()) {
            ASSERT_FALSE(IsSpace(static_cast<char>(sent.front())));
            ASSERT_FALSE(IsSpace(static_cast<char>(sent.back())));
            ASSERT_NE(strText.find(std::string(sent.begin(), sent.end())), std::string::npos);
        } else {
            ASSERT_TRUE(std::all_of(strText.begin(), strText.end(), IsSpace));
        }
        ASSERT_EQ(TextToSendBytes(strText, true).size(),
                  std::min(CountTokens(strText), kMaxSendBytes));
    }
}

TEST(CodecRandom, TokenDependsOnlyOnItsLastTwoCharacters) {
    CRandomText random(99);
    for (int nIteration = 0; nIteration < kIterations; ++nIteration) {
        const std::string strToken = random.Next();
        // Whatever comes before, two ASCII digits at the end decide alone, and a double-byte
        // character before a last digit counts zero.
        ASSERT_EQ(HexTokenToByte(strToken + "4c"), 0x4C);
        ASSERT_EQ(HexTokenToByte(strToken + "\xC4\xE3"
                                            "7"),
                  0x07);
        // Characters before the last two are ignored.
        ASSERT_EQ(HexTokenToByte("zz9" + strToken), HexTokenToByte("Gq9" + strToken));
    }
}

}  // namespace
