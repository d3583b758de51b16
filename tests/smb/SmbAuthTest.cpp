#include <gtest/gtest.h>

#include "platform/smb/SmbAuth.h"

namespace tolvane::test {
namespace {

template <typename T>
std::string Hex(const T& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) out += "0123456789abcdef"[b >> 4], out += "0123456789abcdef"[b & 15];
  return out;
}

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

Bytes Le32(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

Bytes AvPair(std::uint16_t id, const Bytes& value) {
  return Bytes{std::uint8_t(id), std::uint8_t(id >> 8), std::uint8_t(value.size()), 0} + value;
}

// A CHALLENGE message: no target name, the target info right after the 48-byte header.
Bytes ChallengeMessage(std::uint32_t flags, const Bytes& targetInfo, std::uint32_t type = 2,
                       std::uint32_t infoOffset = 48) {
  const auto size = static_cast<std::uint32_t>(targetInfo.size());
  return Ascii(std::string("NTLMSSP\0", 8)) + Le32(type) + Bytes(4, 0) + Le32(48) + Le32(flags) +
         FromHex("0123456789abcdef") + Bytes(8, 0) + Le32(size | size << 16) + Le32(infoOffset) +
         targetInfo;
}

// One DER element, with the length in the long form when asked even where it is not needed.
Bytes Der(std::uint8_t tag, const Bytes& content, bool longForm = false) {
  Bytes head = {tag};
  if (longForm || content.size() > 127) head.push_back(0x81);
  head.push_back(static_cast<std::uint8_t>(content.size()));
  return head + content;
}
Bytes NegTokenResp(const Bytes& message) {
  return Der(0xa1, Der(0x30, Der(0xa0, Der(0x0a, {1})) + Der(0xa2, Der(0x04, message))));
}

// The AUTHENTICATE message in our NegTokenResp, reading lengths in both forms.
Bytes Authenticate(Bytes der) {
  for (std::uint8_t tag : {0xa1, 0x30, 0xa2, 0x04}) {
    EXPECT_TRUE(der.size() >= 2 && der[0] == tag);
    std::size_t at = 2, length = der[1];
    if (length & 0x80) {
      at += length & 0x7f;
      length = 0;
      for (std::size_t i = 2; i < at; ++i) length = length << 8 | der[i];
    }
    EXPECT_EQ(at + length, der.size());
    der.erase(der.begin(), der.begin() + at);
  }
  return der;
}

const Bytes kExampleInfo =
    AvPair(2, Utf16Le("Domain")) + AvPair(1, Utf16Le("Server")) + AvPair(0, {});

TEST(SmbAuth, KnownVectors) {
  const Bytes jefe = Ascii("Jefe"), want = Ascii("what do ya want for nothing?"),
              abc = Ascii("abc");
  const Key16 cmacKey = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                         0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
  const Bytes block = FromHex("6bc1bee22e409f96e93d7e117393172a");
  const struct {
    const char* name;
    std::string actual;
    const char* expected;
  } cases[] = {
      {"md4 empty", Hex(Md4(nullptr, 0)), "31d6cfe0d16ae931b73c59d7e0c089c0"},
      {"md4 abc", Hex(Md4(abc.data(), abc.size())), "a448017aaf21d8525fc10ae87aa6729d"},
      {"hmac-md5", Hex(HmacMd5(jefe.data(), jefe.size(), want.data(), want.size())),
       "750c783e6ab0b503eaa86e310a5db738"},
      {"hmac-sha256", Hex(HmacSha256(jefe.data(), jefe.size(), want.data(), want.size())),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {"aes-cmac", Hex(AesCmac128(cmacKey, block.data(), block.size())),
       "070a16b46b4d4144f79bdd9dd04a287c"},
      {"kdf",
       Hex(Smb3Kdf(Key16{}, Ascii(std::string("SMB2AESCMAC\0", 12)),
                   Ascii(std::string("SmbSign\0", 8)))),
       "9951088b83220f39d99420419d16d393"},
      {"utf-16", Hex(Utf16Le("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80")), "6100e900ac203dd800de"},
      {"utf-16 of broken utf-8", Hex(Utf16Le("a\xc3(\xc0\x80")), "6100fdff2800fdff"},
      {"negotiate", Hex(NtlmLogon("u", "d", "p").Start()),
       "604006062b0601050502a0363034a00e300c060a2b06010401823702020aa2220420"
       "4e544c4d53535000010000001582086000000000000000000000000000000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

// The NTLMv2 example of the protocol documentation, read back out of our AUTHENTICATE message.
TEST(SmbAuth, NtlmV2Example) {
  Key16 exported;
  exported.fill(0x55);
  std::array<std::uint8_t, 8> clientChallenge;
  clientChallenge.fill(0xaa);
  const std::uint32_t serverFlags = 0xe28a8235;
  NtlmLogon logon("User", "Domain", "Password");
  logon.FixForTest(clientChallenge, 0, exported);
  const auto answer = logon.Answer(ChallengeMessage(serverFlags, kExampleInfo));
  ASSERT_TRUE(answer);
  const Bytes auth = Authenticate(*answer);
  ASSERT_GE(auth.size(), 64u);
  auto field = [&](int n) {
    const std::size_t at = 12 + 8 * n;
    const std::size_t length = auth[at] | auth[at + 1] << 8;
    const std::size_t offset = auth[at + 4] | auth[at + 5] << 8;
    EXPECT_LE(offset + length, auth.size());
    return Bytes(auth.begin() + offset, auth.begin() + offset + length);
  };
  EXPECT_EQ(Hex(Bytes(auth.begin(), auth.begin() + 12)), "4e544c4d5353500003000000");
  EXPECT_EQ(Hex(field(0)), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
  EXPECT_EQ(Hex(field(1)),
            "68cd0ab851e51c96aabc927bebef6a1c"
            "01010000000000000000000000000000"
            "aaaaaaaaaaaaaaaa00000000" +
                Hex(kExampleInfo) + "00000000");
  EXPECT_EQ(field(2), Utf16Le("Domain"));
  EXPECT_EQ(field(3), Utf16Le("User"));
  EXPECT_TRUE(field(4).empty());
  EXPECT_EQ(Hex(field(5)), "c5dad2544fc9799094ce1ce90bc9d03e");
  EXPECT_EQ(Hex(Bytes(auth.begin() + 60, auth.begin() + 64)), "15820860");
  EXPECT_EQ(logon.SessionKey(), exported);

  // The server's clock instead of ours, and then no LMv2 response; without a key exchange the
  // session base key signs.
  const Bytes stamped = AvPair(7, FromHex("0102030405060708")) + kExampleInfo;
  NtlmLogon again("User", "Domain", "Password");
  again.FixForTest(clientChallenge, 0, exported);
  const auto second =
      again.Answer(NegTokenResp(ChallengeMessage(serverFlags & ~0x40000000u, stamped)));
  ASSERT_TRUE(second);
  const Bytes auth2 = Authenticate(*second);
  const std::size_t lmOffset = auth2[16], ntOffset = auth2[24];
  EXPECT_EQ(Bytes(auth2.begin() + lmOffset, auth2.begin() + lmOffset + 24), Bytes(24, 0));
  EXPECT_EQ(Hex(Bytes(auth2.begin() + ntOffset + 24, auth2.begin() + ntOffset + 32)),
            "0102030405060708");
  EXPECT_EQ(auth2[52], 0);  // no encrypted session key
  EXPECT_NE(again.SessionKey(), exported);
}

TEST(SmbAuth, UnreadableChallengesGiveNothing) {
  const Bytes good = ChallengeMessage(0xe28a8235, kExampleInfo);
  Bytes lyingLength = good;
  lyingLength[40] = lyingLength[42] = 200;
  const struct {
    const char* name;
    Bytes token;
    bool readable;
  } cases[] = {
      {"bare", good, true},
      {"in a long-form NegTokenResp",
       Der(0xa1, Der(0x30, Der(0xa2, Der(0x04, good, true), true), true), true), true},
      {"empty", {}, false},
      {"truncated header", Bytes(good.begin(), good.begin() + 47), false},
      {"truncated target info", Bytes(good.begin(), good.end() - 1), false},
      {"wrong type", ChallengeMessage(0xe28a8235, kExampleInfo, 3), false},
      {"target info offset past the end", ChallengeMessage(0xe28a8235, kExampleInfo, 2, 0xfffffff0),
       false},
      {"target info length past the end", lyingLength, false},
      {"pair past the target info", ChallengeMessage(0xe28a8235, FromHex("02000c004400")), false},
      {"short timestamp", ChallengeMessage(0xe28a8235, AvPair(7, Bytes(4, 0)) + AvPair(0, {})),
       false},
      {"DER length past the end", FromHex("a182ffff3000"), false},
      {"DER length of five bytes", FromHex("a185000000000330") + Bytes(3, 0), false},
      {"indefinite DER length", FromHex("a180") + NegTokenResp(good), false},
      {"NegTokenResp without a token", Der(0xa1, Der(0x30, Der(0xa0, Der(0x0a, {2})))), false},
      {"token not an OCTET STRING", Der(0xa1, Der(0x30, Der(0xa2, Der(0x03, good)))), false},
      {"NegTokenInit", Der(0x60, Der(0x06, FromHex("2b0601050502")) + good), false},
  };
  for (const auto& c : cases) {
    NtlmLogon logon("User", "Domain", "Password");
    EXPECT_EQ(logon.Answer(c.token).has_value(), c.readable) << c.name;
  }
}

}  // namespace
}  // namespace tolvane::test
