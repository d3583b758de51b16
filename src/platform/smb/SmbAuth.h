#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

using Bytes = std::vector<std::uint8_t>;
using Key16 = std::array<std::uint8_t, 16>;

// The hashes and MACs of an SMB logon and of signed SMB messages.
Key16 Md4(const std::uint8_t* data, std::size_t size);
Key16 HmacMd5(const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data,
              std::size_t size);
std::array<std::uint8_t, 32> HmacSha256(const std::uint8_t* key, std::size_t keySize,
                                        const std::uint8_t* data, std::size_t size);
Key16 AesCmac128(const Key16& key, const std::uint8_t* data, std::size_t size);
// The SMB 3 key derivation: counter mode with HMAC-SHA256, 128 bits out. label and context are
// taken as given (with their terminating zero byte when the caller includes it).
Key16 Smb3Kdf(const Key16& key, const Bytes& label, const Bytes& context);

// UTF-8 to UTF-16LE, as NTLM and SMB carry names.
Bytes Utf16Le(const std::string& utf8);

// An NTLM logon (NTLMv2 responses) carried by SPNEGO, as an SMB 2 session setup exchanges it.
class NtlmLogon {
 public:
  NtlmLogon(std::string user, std::string domain, std::string password);

  // The first security buffer: a SPNEGO NegTokenInit offering NTLMSSP, with the NEGOTIATE
  // message in it.
  Bytes Start();
  // The server's answer (a SPNEGO NegTokenResp with the CHALLENGE message, or a bare
  // CHALLENGE message) turned into the second security buffer: a NegTokenResp with the
  // AUTHENTICATE message. Nothing when the answer cannot be read.
  std::optional<Bytes> Answer(const Bytes& serverToken);
  // The key for signing, once Answer has given the AUTHENTICATE message: the exported
  // session key (random, sent encrypted, when the server agreed to a key exchange).
  const Key16& SessionKey() const { return sessionKey_; }

  // For tests: the client challenge, the time (FILETIME) used when the server sends none, and
  // the exported session key, instead of random ones and the clock.
  void FixForTest(const std::array<std::uint8_t, 8>& clientChallenge, std::uint64_t time,
                  const Key16& exportedKey);

 private:
  std::string user_;
  std::string domain_;
  std::string password_;
  Bytes negotiate_;
  Key16 sessionKey_{};
  std::optional<std::array<std::uint8_t, 8>> fixedChallenge_;
  std::optional<std::uint64_t> fixedTime_;
  std::optional<Key16> fixedKey_;
};

}  // namespace tolvane
