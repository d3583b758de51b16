#include "platform/smb/SmbAuth.h"

#include <locale.h>
#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/cmac.h>
#include <nettle/hmac.h>
#include <nettle/md4.h>
#include <sys/random.h>
#include <wctype.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tolvane {

Key16 Md4(const std::uint8_t* data, std::size_t size) {
  md4_ctx ctx;
  md4_init(&ctx);
  md4_update(&ctx, size, data);
  Key16 out;
  md4_digest(&ctx, out.size(), out.data());
  return out;
}

Key16 HmacMd5(const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data,
              std::size_t size) {
  hmac_md5_ctx ctx;
  hmac_md5_set_key(&ctx, keySize, key);
  hmac_md5_update(&ctx, size, data);
  Key16 out;
  hmac_md5_digest(&ctx, out.size(), out.data());
  return out;
}

std::array<std::uint8_t, 32> HmacSha256(const std::uint8_t* key, std::size_t keySize,
                                        const std::uint8_t* data, std::size_t size) {
  hmac_sha256_ctx ctx;
  hmac_sha256_set_key(&ctx, keySize, key);
  hmac_sha256_update(&ctx, size, data);
  std::array<std::uint8_t, 32> out;
  hmac_sha256_digest(&ctx, out.size(), out.data());
  return out;
}

Key16 AesCmac128(const Key16& key, const std::uint8_t* data, std::size_t size) {
  cmac_aes128_ctx ctx;
  cmac_aes128_set_key(&ctx, key.data());
  cmac_aes128_update(&ctx, size, data);
  Key16 out;
  cmac_aes128_digest(&ctx, out.size(), out.data());
  return out;
}

Key16 Smb3Kdf(const Key16& key, const Bytes& label, const Bytes& context) {
  // One round of the counter: i = 1, then the label, a zero byte, the context and L = 128 bits.
  Bytes input = {0, 0, 0, 1};
  input.insert(input.end(), label.begin(), label.end());
  input.push_back(0);
  input.insert(input.end(), context.begin(), context.end());
  input.insert(input.end(), {0, 0, 0, 128});
  auto mac = HmacSha256(key.data(), key.size(), input.data(), input.size());
  Key16 out;
  std::memcpy(out.data(), mac.data(), out.size());
  return out;
}

namespace {

// The code points of UTF-8 text; what is not UTF-8 becomes U+FFFD.
std::u32string CodePoints(const std::string& utf8) {
  std::u32string out;
  std::size_t i = 0;
  const std::size_t n = utf8.size();
  while (i < n) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    int more = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xe0) == 0xc0) {
      more = 1, c = lead & 0x1f, min = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
      more = 2, c = lead & 0x0f, min = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
      more = 3, c = lead & 0x07, min = 0x10000;
    } else {
      out.push_back(0xfffd);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    for (; j < n && j <= i + more; ++j) {
      const auto next = static_cast<std::uint8_t>(utf8[j]);
      if ((next & 0xc0) != 0x80) break;
      c = (c << 6) | (next & 0x3f);
    }
    if (j != i + 1 + more || c < min || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) {
      out.push_back(0xfffd);
      i = j > i + 1 ? j : i + 1;
      continue;
    }
    out.push_back(c);
    i = j;
  }
  return out;
}

void AppendUtf16Le(Bytes& out, const std::u32string& text) {
  auto unit = [&out](std::uint32_t u) {
    out.push_back(static_cast<std::uint8_t>(u));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  for (char32_t c : text) {
    if (c >= 0x10000) {
      c -= 0x10000;
      unit(0xd800 + (c >> 10));
      unit(0xdc00 + (c & 0x3ff));
    } else {
      unit(c);
    }
  }
}

// The user name as the NTLM hash takes it: upper case, character by character, whatever the
// program's own locale is. Characters beyond the BMP stay as they are, as on the servers.
std::u32string Upper(const std::string& utf8) {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  std::u32string text = CodePoints(utf8);
  for (char32_t& c : text) {
    if (c >= 'a' && c <= 'z') {
      c -= 'a' - 'A';
    } else if (c >= 0x80 && c < 0x10000 && unicode) {
      const wint_t upper = towupper_l(static_cast<wint_t>(c), unicode);
      if (upper < 0x10000) c = static_cast<char32_t>(upper);
    }
  }
  return text;
}

bool FillRandom(std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = getrandom(data, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

std::uint64_t FileTimeNow() {
  using namespace std::chrono;
  // 100 ns steps since 1601-01-01.
  const auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
  return static_cast<std::uint64_t>(since1970.count() / 100) + 116444736000000000ULL;
}

void Put16(Bytes& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& out, std::size_t at, std::uint32_t v) {
  Put16(out, at, v);
  Put16(out, at + 2, v >> 16);
}
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return Get16(p) | static_cast<std::uint32_t>(Get16(p + 2)) << 16;
}

// ---- DER, as much of it as SPNEGO needs.

void AppendTlv(Bytes& out, std::uint8_t tag, const Bytes& content) {
  out.push_back(tag);
  const std::size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else {
    int bytes = 0;
    for (std::size_t rest = n; rest > 0; rest >>= 8) ++bytes;
    out.push_back(static_cast<std::uint8_t>(0x80 | bytes));
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  }
  out.insert(out.end(), content.begin(), content.end());
}
Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes out;
  AppendTlv(out, tag, content);
  return out;
}

struct Span {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// Takes one element off the front of in. False when it does not fit in what is left.
bool ReadTlv(Span& in, std::uint8_t& tag, Span& content) {
  if (in.size < 2) return false;
  tag = in.data[0];
  std::size_t at = 2;
  std::size_t length = in.data[1];
  if (length & 0x80) {
    const std::size_t bytes = length & 0x7f;
    // Not the indefinite form, and nothing a security token could need beyond 4 bytes.
    if (bytes == 0 || bytes > 4 || in.size - 2 < bytes) return false;
    length = 0;
    for (std::size_t i = 0; i < bytes; ++i) length = length << 8 | in.data[2 + i];
    at += bytes;
  }
  if (length > in.size - at) return false;
  content = {in.data + at, length};
  in.data += at + length;
  in.size -= at + length;
  return true;
}

// The element of in with the given tag, looking only at the top level.
bool FindTlv(Span in, std::uint8_t wanted, Span& content) {
  std::uint8_t tag = 0;
  while (in.size > 0) {
    if (!ReadTlv(in, tag, content)) return false;
    if (tag == wanted) return true;
  }
  return false;
}

const Bytes kSpnegoOid = {0x2b, 0x06, 0x01, 0x05, 0x05, 0x02};
const Bytes kNtlmOid = {0x2b, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x02, 0x0a};

// NegTokenResp carrying an NTLM message.
Bytes NegTokenResp(const Bytes& message) {
  return Tlv(0xa1, Tlv(0x30, Tlv(0xa2, Tlv(0x04, message))));
}

// ---- NTLM

const std::uint8_t kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};
constexpr std::uint32_t kUnicode = 0x00000001;
constexpr std::uint32_t kRequestTarget = 0x00000004;
constexpr std::uint32_t kSign = 0x00000010;
constexpr std::uint32_t kNtlm = 0x00000200;
constexpr std::uint32_t kAlwaysSign = 0x00008000;
constexpr std::uint32_t kExtendedSessionSecurity = 0x00080000;
constexpr std::uint32_t k128 = 0x20000000;
constexpr std::uint32_t kKeyExchange = 0x40000000;
constexpr std::uint32_t kOurFlags = kUnicode | kRequestTarget | kSign | kNtlm | kAlwaysSign |
                                    kExtendedSessionSecurity | k128 | kKeyExchange;

constexpr std::uint16_t kAvEol = 0;
constexpr std::uint16_t kAvTimestamp = 7;

struct Challenge {
  std::uint32_t flags = 0;
  std::array<std::uint8_t, 8> serverChallenge{};
  Bytes targetInfo;
  std::optional<std::uint64_t> timestamp;
};

// A length/maximum/offset triple of an NTLM message, checked against the message.
bool ReadField(Span message, std::size_t at, Span& field) {
  const std::size_t length = Get16(message.data + at);
  const std::size_t offset = Get32(message.data + at + 4);
  if (offset > message.size || length > message.size - offset) return false;
  field = {message.data + offset, length};
  return true;
}

std::optional<Challenge> ReadChallenge(Span message) {
  // Signature, type, target name, flags, challenge, reserved, target info.
  constexpr std::size_t kHeader = 48;
  if (message.size < kHeader || std::memcmp(message.data, kSignature, 8) != 0 ||
      Get32(message.data + 8) != 2)
    return std::nullopt;
  Challenge challenge;
  Span targetName, targetInfo;
  if (!ReadField(message, 12, targetName) || !ReadField(message, 40, targetInfo))
    return std::nullopt;
  challenge.flags = Get32(message.data + 20);
  std::memcpy(challenge.serverChallenge.data(), message.data + 24, 8);
  challenge.targetInfo.assign(targetInfo.data, targetInfo.data + targetInfo.size);

  // The attribute/value pairs, up to the end marker.
  Span pairs = targetInfo;
  while (pairs.size > 0) {
    if (pairs.size < 4) return std::nullopt;
    const std::uint16_t id = Get16(pairs.data);
    const std::size_t length = Get16(pairs.data + 2);
    if (length > pairs.size - 4) return std::nullopt;
    if (id == kAvEol) break;
    if (id == kAvTimestamp) {
      if (length != 8) return std::nullopt;
      challenge.timestamp = Get32(pairs.data + 4) | std::uint64_t{Get32(pairs.data + 8)} << 32;
    }
    pairs.data += 4 + length;
    pairs.size -= 4 + length;
  }
  return challenge;
}

// The NTLM message in the server's answer: a NegTokenResp's responseToken, or the bare message.
std::optional<Span> ServerMessage(const Bytes& token) {
  Span in{token.data(), token.size()};
  if (in.size >= 8 && std::memcmp(in.data, kSignature, 8) == 0) return in;
  std::uint8_t tag = 0;
  Span resp, sequence, wrapped, message;
  if (!ReadTlv(in, tag, resp) || tag != 0xa1) return std::nullopt;
  if (!ReadTlv(resp, tag, sequence) || tag != 0x30) return std::nullopt;
  if (!FindTlv(sequence, 0xa2, wrapped)) return std::nullopt;
  if (!ReadTlv(wrapped, tag, message) || tag != 0x04) return std::nullopt;
  return message;
}

}  // namespace

Bytes Utf16Le(const std::string& utf8) {
  Bytes out;
  AppendUtf16Le(out, CodePoints(utf8));
  return out;
}

NtlmLogon::NtlmLogon(std::string user, std::string domain, std::string password)
    : user_(std::move(user)), domain_(std::move(domain)), password_(std::move(password)) {}

void NtlmLogon::FixForTest(const std::array<std::uint8_t, 8>& clientChallenge, std::uint64_t time,
                           const Key16& exportedKey) {
  fixedChallenge_ = clientChallenge;
  fixedTime_ = time;
  fixedKey_ = exportedKey;
}

Bytes NtlmLogon::Start() {
  // Signature, type 1, flags, and empty domain and workstation fields.
  negotiate_.assign(32, 0);
  std::memcpy(negotiate_.data(), kSignature, 8);
  Put32(negotiate_, 8, 1);
  Put32(negotiate_, 12, kOurFlags);

  Bytes mechTypes = Tlv(0xa0, Tlv(0x30, Tlv(0x06, kNtlmOid)));
  Bytes mechToken = Tlv(0xa2, Tlv(0x04, negotiate_));
  Bytes init = mechTypes;
  init.insert(init.end(), mechToken.begin(), mechToken.end());
  Bytes inner = Tlv(0x06, kSpnegoOid);
  AppendTlv(inner, 0xa0, Tlv(0x30, init));
  return Tlv(0x60, inner);
}

std::optional<Bytes> NtlmLogon::Answer(const Bytes& serverToken) {
  const auto message = ServerMessage(serverToken);
  if (!message) return std::nullopt;
  const auto challenge = ReadChallenge(*message);
  if (!challenge) return std::nullopt;

  std::array<std::uint8_t, 8> clientChallenge;
  if (fixedChallenge_) {
    clientChallenge = *fixedChallenge_;
  } else if (!FillRandom(clientChallenge.data(), clientChallenge.size())) {
    return std::nullopt;
  }
  const std::uint64_t time = challenge->timestamp ? *challenge->timestamp
                             : fixedTime_         ? *fixedTime_
                                                  : FileTimeNow();

  // NTOWFv2: keyed with the NT hash of the password, over the upper-case user and the domain.
  const Bytes password = Utf16Le(password_);
  const Key16 ntHash = Md4(password.data(), password.size());
  Bytes userDomain;
  AppendUtf16Le(userDomain, Upper(user_));
  const Bytes domain = Utf16Le(domain_);
  userDomain.insert(userDomain.end(), domain.begin(), domain.end());
  const Key16 responseKey =
      HmacMd5(ntHash.data(), ntHash.size(), userDomain.data(), userDomain.size());

  // The client's blob, and the server challenge in front of it for the proof.
  Bytes temp = {1, 1, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) temp.push_back(static_cast<std::uint8_t>(time >> (8 * i)));
  temp.insert(temp.end(), clientChallenge.begin(), clientChallenge.end());
  temp.insert(temp.end(), 4, 0);
  temp.insert(temp.end(), challenge->targetInfo.begin(), challenge->targetInfo.end());
  temp.insert(temp.end(), 4, 0);
  Bytes proofInput(challenge->serverChallenge.begin(), challenge->serverChallenge.end());
  proofInput.insert(proofInput.end(), temp.begin(), temp.end());
  const Key16 proof =
      HmacMd5(responseKey.data(), responseKey.size(), proofInput.data(), proofInput.size());
  Bytes ntResponse(proof.begin(), proof.end());
  ntResponse.insert(ntResponse.end(), temp.begin(), temp.end());

  // With the server's time in the challenge the LMv2 response is left as zeros.
  Bytes lmResponse(24, 0);
  if (!challenge->timestamp) {
    Bytes lmInput(challenge->serverChallenge.begin(), challenge->serverChallenge.end());
    lmInput.insert(lmInput.end(), clientChallenge.begin(), clientChallenge.end());
    const Key16 lm =
        HmacMd5(responseKey.data(), responseKey.size(), lmInput.data(), lmInput.size());
    std::memcpy(lmResponse.data(), lm.data(), lm.size());
    std::memcpy(lmResponse.data() + 16, clientChallenge.data(), clientChallenge.size());
  }

  const Key16 sessionBaseKey =
      HmacMd5(responseKey.data(), responseKey.size(), proof.data(), proof.size());
  Key16 exported = sessionBaseKey;
  Bytes encryptedKey;
  if (challenge->flags & kKeyExchange) {
    if (fixedKey_) {
      exported = *fixedKey_;
    } else if (!FillRandom(exported.data(), exported.size())) {
      return std::nullopt;
    }
    encryptedKey.resize(exported.size());
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, sessionBaseKey.size(), sessionBaseKey.data());
    arcfour_crypt(&rc4, exported.size(), encryptedKey.data(), exported.data());
  }

  // Header: signature, type 3, six fields (LM, NT, domain, user, workstation, session key) and
  // the flags; the payload follows in that order. No version, no MIC.
  constexpr std::size_t kHeader = 64;
  Bytes auth(kHeader, 0);
  std::memcpy(auth.data(), kSignature, 8);
  Put32(auth, 8, 3);
  const Bytes user = Utf16Le(user_);
  const Bytes* fields[] = {&lmResponse, &ntResponse, &domain, &user, nullptr, &encryptedKey};
  std::size_t at = 12;
  for (const Bytes* field : fields) {
    const std::size_t size = field ? field->size() : 0;
    if (size > 0xffff) return std::nullopt;  // a name or target info too long to carry
    Put16(auth, at, static_cast<std::uint32_t>(size));
    Put16(auth, at + 2, static_cast<std::uint32_t>(size));
    Put32(auth, at + 4, static_cast<std::uint32_t>(auth.size()));
    if (field) auth.insert(auth.end(), field->begin(), field->end());
    at += 8;
  }
  Put32(auth, 60, (kOurFlags & challenge->flags) | kUnicode);

  sessionKey_ = exported;
  return NegTokenResp(auth);
}

}  // namespace tolvane
