#include "platform/smb/SmbWire.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tolvane {
namespace {

enum Command : std::uint16_t {
  kNegotiate = 0,
  kSessionSetup = 1,
  kTreeConnect = 3,
  kCreate = 5,
  kClose = 6,
  kWrite = 9,
  kSetInfo = 0x11,
};

constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kPending = 0x00000103;
constexpr std::uint32_t kMoreProcessing = 0xC0000016;

constexpr std::uint32_t kFlagResponse = 0x1;
constexpr std::uint32_t kFlagAsync = 0x2;
constexpr std::uint32_t kFlagRelated = 0x4;
constexpr std::uint32_t kFlagSigned = 0x8;

constexpr std::size_t kHeader = 64;
constexpr std::uint32_t kLargestPart = std::uint32_t{1} << 20;
constexpr std::uint32_t kCreditUnit = 65536;
// The credits each request asks for beyond its own: enough for the next compound.
constexpr std::uint16_t kCreditsAhead = 64;

constexpr std::uint16_t kDialects[] = {0x0202, 0x0210, 0x0300, 0x0302};

// Access, sharing and create options of the opens below.
constexpr std::uint32_t kWriteData = 0x2;
constexpr std::uint32_t kReadAttributes = 0x80;
constexpr std::uint32_t kWriteAttributes = 0x100;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kSynchronize = 0x100000;
constexpr std::uint32_t kShareAll = 0x7;
constexpr std::uint32_t kOpenExisting = 1;
constexpr std::uint32_t kCreateNew = 2;
constexpr std::uint32_t kNonDirectory = 0x40;
constexpr std::uint32_t kDeleteOnClose = 0x1000;
constexpr std::uint32_t kNormalFile = 0x80;

constexpr std::uint8_t kInfoFile = 1;
constexpr std::uint8_t kBasicInformation = 4;
constexpr std::uint8_t kRenameInformation = 10;
constexpr std::uint8_t kDispositionInformation = 13;

void Put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put64(Bytes& b, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutBytes(Bytes& b, const std::uint8_t* data, std::size_t size) {
  b.insert(b.end(), data, data + size);
}
void Set32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint64_t Get64(const std::uint8_t* p) {
  return std::uint64_t{Get32(p)} | std::uint64_t{Get32(p + 4)} << 32;
}

// A path in the share as the server takes it: "\" between the names, none in front.
Bytes WirePath(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  while (!p.empty() && p.front() == '\\') p.erase(p.begin());
  return Utf16Le(p);
}

// The errno that stands for a server's status, as the library we browse with maps them.
int ErrnoOf(std::uint32_t status) {
  switch (status) {
    case kSuccess:
      return 0;
    case 0xC000000F:  // no such file
    case 0xC0000033:  // object name invalid
    case 0xC0000034:  // object name not found
    case 0xC000003A:  // object path not found
    case 0xC000003B:  // object path syntax bad
      return ENOENT;
    case 0xC0000035:  // object name collision
      return EEXIST;
    case 0xC0000022:  // access denied
    case 0xC0000121:  // cannot delete
    case 0xC00000A2:  // media write protected
    case 0xC000006D:  // logon failure
    case 0xC000006E:  // account restriction
    case 0xC0000072:  // account disabled
    case 0xC0000071:  // password expired
      return EACCES;
    case 0xC0000043:  // sharing violation
    case 0xC0000056:  // delete pending
    case 0xC0000054:  // file lock conflict
      return EBUSY;
    case 0xC000007F:  // disk full
      return ENOSPC;
    case 0xC0000044:  // quota exceeded
      return EDQUOT;
    case 0xC00000BA:  // file is a directory
      return EISDIR;
    case 0xC0000103:  // not a directory
      return ENOTDIR;
    case 0xC0000106:  // name too long
      return ENAMETOOLONG;
    case 0xC00000C9:  // network name deleted
    case 0xC0000203:  // user session deleted
    case 0xC000035C:  // network session expired
      return ECONNRESET;
    default:
      return EIO;
  }
}

bool SessionGone(std::uint32_t status) { return ErrnoOf(status) == ECONNRESET; }

Bytes CreateBody(const std::string& path, std::uint32_t access, std::uint32_t disposition,
                 std::uint32_t options) {
  const Bytes name = WirePath(path);
  Bytes b;
  Put16(b, 57);
  b.push_back(0);  // security flags
  b.push_back(0);  // no oplock
  Put32(b, 2);     // impersonation
  Put64(b, 0);
  Put64(b, 0);
  Put32(b, access);
  Put32(b, kNormalFile);
  Put32(b, kShareAll);
  Put32(b, disposition);
  Put32(b, options);
  Put16(b, static_cast<std::uint16_t>(kHeader + 56));
  Put16(b, static_cast<std::uint16_t>(name.size()));
  Put32(b, 0);
  Put32(b, 0);
  if (name.empty()) {
    b.push_back(0);
  } else {
    PutBytes(b, name.data(), name.size());
  }
  return b;
}

const SmbWire::FileId kRelatedFile{~std::uint64_t{0}, ~std::uint64_t{0}};

void PutFileId(Bytes& b, const SmbWire::FileId& id) {
  Put64(b, id.persistent);
  Put64(b, id.volatileId);
}

Bytes WriteBody(const SmbWire::FileId& id, std::uint64_t offset, const std::uint8_t* data,
                std::size_t size) {
  Bytes b;
  b.reserve(48 + size);
  Put16(b, 49);
  Put16(b, static_cast<std::uint16_t>(kHeader + 48));
  Put32(b, static_cast<std::uint32_t>(size));
  Put64(b, offset);
  PutFileId(b, id);
  Put32(b, 0);  // channel
  Put32(b, 0);  // remaining
  Put16(b, 0);
  Put16(b, 0);
  Put32(b, 0);  // flags
  if (size == 0) {
    b.push_back(0);
  } else {
    PutBytes(b, data, size);
  }
  return b;
}

Bytes SetInfoBody(const SmbWire::FileId& id, std::uint8_t infoClass, const Bytes& info) {
  Bytes b;
  Put16(b, 33);
  b.push_back(kInfoFile);
  b.push_back(infoClass);
  Put32(b, static_cast<std::uint32_t>(info.size()));
  Put16(b, static_cast<std::uint16_t>(kHeader + 32));
  Put16(b, 0);
  Put32(b, 0);
  PutFileId(b, id);
  PutBytes(b, info.data(), info.size());
  return b;
}

Bytes BasicInfo(const SmbWire::Times& times) {
  Bytes b;
  Put64(b, 0);  // creation
  Put64(b, times.lastAccess);
  Put64(b, times.lastWrite);
  Put64(b, 0);  // change
  Put32(b, 0);  // attributes unchanged
  Put32(b, 0);
  return b;
}

Bytes RenameInfo(const std::string& target, bool replace) {
  const Bytes name = WirePath(target);
  Bytes b(8, 0);
  b[0] = replace ? 1 : 0;
  Put64(b, 0);  // root directory
  Put32(b, static_cast<std::uint32_t>(name.size()));
  PutBytes(b, name.data(), name.size());
  return b;
}

Bytes CloseBody(const SmbWire::FileId& id) {
  Bytes b;
  Put16(b, 24);
  Put16(b, 0);
  Put32(b, 0);
  PutFileId(b, id);
  return b;
}

}  // namespace

int ConnectWithin(const std::string& host, int port, std::chrono::steady_clock::time_point deadline,
                  std::string* resolveError) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) {
    const int error = errno;
    *resolveError =
        resolved == EAI_SYSTEM ? std::system_category().message(error) : gai_strerror(resolved);
    errno = 0;
    return -1;
  }
  int error = ETIMEDOUT;
  int connected = -1;
  for (const addrinfo* a = found; a && connected < 0; a = a->ai_next) {
    const int s =
        socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) {
      error = errno;
      continue;
    }
    bool ok = false;
    if (connect(s, a->ai_addr, a->ai_addrlen) == 0) {
      ok = true;
    } else if (errno != EINPROGRESS) {
      error = errno;
    } else {
      for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
          error = ETIMEDOUT;
          break;
        }
        pollfd p{s, POLLOUT, 0};
        const int r = poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
          error = r == 0 ? ETIMEDOUT : errno;
          break;
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError == 0) {
          ok = true;
        } else {
          error = soError;
        }
        break;
      }
    }
    if (ok) {
      fcntl(s, F_SETFL, fcntl(s, F_GETFL) & ~O_NONBLOCK);
      connected = s;
    } else {
      close(s);
    }
  }
  freeaddrinfo(found);
  if (connected < 0) errno = error;
  return connected;
}

struct SmbWire::Request {
  std::uint16_t command;
  Bytes body;
  bool related = false;
  // The bytes the request carries or asks for, which set its credit charge.
  std::size_t payload = 0;
};

const std::uint8_t* SmbWire::Response::Body() const { return message.data() + kHeader; }

std::size_t SmbWire::Response::BodySize() const { return message.size() - kHeader; }

bool SmbWire::Response::Buffer(std::size_t offsetField, std::size_t lengthField, Bytes* out) const {
  if (BodySize() < lengthField + 2) return false;
  const std::size_t offset = Get16(Body() + offsetField);
  const std::size_t length = Get16(Body() + lengthField);
  if (length == 0) {
    out->clear();
    return true;
  }
  if (offset < kHeader || offset + length > message.size()) return false;
  out->assign(message.begin() + static_cast<std::ptrdiff_t>(offset),
              message.begin() + static_cast<std::ptrdiff_t>(offset + length));
  return true;
}

bool SmbWire::Response::FileIdOfCreate(FileId* id) const {
  if (status != kSuccess || BodySize() < 80) return false;
  id->persistent = Get64(Body() + 64);
  id->volatileId = Get64(Body() + 72);
  return true;
}

int SmbWire::Written(const Response& r, std::size_t size) {
  if (r.status != kSuccess) return ErrnoOf(r.status);
  return r.BodySize() >= 8 && Get32(r.Body() + 4) == size ? 0 : EIO;
}

std::vector<SmbWire::Request> SmbWire::NewFile(const std::string& temp, const std::uint8_t* data,
                                               std::size_t size) {
  std::vector<Request> requests;
  requests.push_back(
      {kCreate,
       CreateBody(temp, kWriteData | kWriteAttributes | kReadAttributes | kDelete | kSynchronize,
                  kCreateNew, kNonDirectory)});
  if (size > 0) requests.push_back({kWrite, WriteBody(kRelatedFile, 0, data, size), true, size});
  return requests;
}

SmbWire::SmbWire(int socket, int timeoutSeconds)
    : socket_(socket), timeoutSeconds_(timeoutSeconds) {}

SmbWire::~SmbWire() {
  if (socket_ >= 0) close(socket_);
}

std::unique_ptr<SmbWire> SmbWire::Open(const std::string& host, int port, int timeoutSeconds,
                                       const Logon& logon, const std::string& share, int* error) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  std::string resolveError;
  const int s = ConnectWithin(host, port, deadline, &resolveError);
  if (s < 0) {
    *error = errno != 0 ? errno : EHOSTUNREACH;
    return nullptr;
  }
  const int one = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const timeval limit{std::max(timeoutSeconds, 1), 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  std::unique_ptr<SmbWire> wire(new SmbWire(s, timeoutSeconds));
  *error = wire->Negotiate();
  if (*error == 0) *error = wire->LogOn(logon);
  if (*error == 0) *error = wire->Connect(host, share);
  if (*error != 0) return nullptr;
  return wire;
}

std::size_t SmbWire::MaxWrite() const {
  std::size_t most = std::min<std::size_t>(maxWrite_, kLargestPart);
  if (dialect_ < 0x0210) most = std::min<std::size_t>(most, kCreditUnit);
  // What the credits in hand allow, with some to spare for the requests around the write.
  const std::size_t byCredits =
      credits_ > 8 ? (credits_ - 8) * std::size_t{kCreditUnit} : kCreditUnit;
  return std::max<std::size_t>(std::min(most, byCredits), 1);
}

int SmbWire::Lost(int error) {
  if (socket_ >= 0) {
    close(socket_);
    socket_ = -1;
  }
  lostWith_ = error;
  return error;
}

bool SmbWire::SendFrame(const Bytes& frame) {
  std::size_t sent = 0;
  while (sent < frame.size()) {
    const ssize_t n = send(socket_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      Lost(errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno);
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool SmbWire::ReceiveFrame(Bytes* frame) {
  const auto readAll = [this](std::uint8_t* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = recv(socket_, to + got, size - got, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Lost(n == 0 ? ECONNRESET : (errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno));
        return false;
      }
      got += static_cast<std::size_t>(n);
    }
    return true;
  };
  std::uint8_t length[4];
  if (!readAll(length, 4)) return false;
  const std::size_t size = std::size_t{length[1]} << 16 | std::size_t{length[2]} << 8 | length[3];
  // Nothing we ask for comes back larger than one write's answer or a logon token.
  if (length[0] != 0 || size < kHeader || size > (std::size_t{16} << 20)) {
    Lost(EPROTO);
    return false;
  }
  frame->resize(size);
  return readAll(frame->data(), size);
}

void SmbWire::Sign(std::uint8_t* message, std::size_t size) const {
  if (dialect_ >= 0x0300) {
    const Key16 mac = AesCmac128(signingKey_, message, size);
    std::memcpy(message + 48, mac.data(), 16);
  } else {
    const auto mac = HmacSha256(signingKey_.data(), signingKey_.size(), message, size);
    std::memcpy(message + 48, mac.data(), 16);
  }
}

bool SmbWire::Send(std::vector<Request> requests, std::vector<std::uint64_t>* ids) {
  if (socket_ < 0) return false;
  Bytes frame(4, 0);
  ids->clear();
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    Request& r = requests[i];
    const std::size_t start = frame.size();
    const std::uint16_t charge = dialect_ >= 0x0210
                                     ? static_cast<std::uint16_t>(std::max<std::size_t>(
                                           1, (r.payload + kCreditUnit - 1) / kCreditUnit))
                                     : 1;
    frame.insert(frame.end(), {0xFE, 'S', 'M', 'B'});
    Put16(frame, 64);
    Put16(frame, dialect_ >= 0x0210 ? charge : 0);
    Put32(frame, 0);  // status
    Put16(frame, r.command);
    Put16(frame, static_cast<std::uint16_t>(charge + kCreditsAhead));
    std::uint32_t flags = r.related ? kFlagRelated : 0;
    const bool sign = signing_ && r.command != kNegotiate && r.command != kSessionSetup;
    if (sign) flags |= kFlagSigned;
    Put32(frame, flags);
    Put32(frame, 0);  // next command, filled in below
    Put64(frame, nextMessageId_);
    ids->push_back(nextMessageId_);
    nextMessageId_ += charge;
    credits_ = credits_ > charge ? credits_ - charge : 0;
    Put32(frame, 0xFEFF);  // process id
    Put32(frame, treeId_);
    Put64(frame, sessionId_);
    frame.insert(frame.end(), 16, 0);  // signature
    PutBytes(frame, r.body.data(), r.body.size());
    if (i + 1 < requests.size()) {
      while ((frame.size() - start) % 8 != 0) frame.push_back(0);
      Set32(frame.data() + start + 20, static_cast<std::uint32_t>(frame.size() - start));
    }
    spans.emplace_back(start, frame.size() - start);
    r.body.clear();
  }
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (Get32(frame.data() + spans[i].first + 16) & kFlagSigned) {
      Sign(frame.data() + spans[i].first, spans[i].second);
    }
  }
  const std::size_t size = frame.size() - 4;
  frame[1] = static_cast<std::uint8_t>(size >> 16);
  frame[2] = static_cast<std::uint8_t>(size >> 8);
  frame[3] = static_cast<std::uint8_t>(size);
  return SendFrame(frame);
}

std::vector<SmbWire::Response> SmbWire::Collect(const std::vector<std::uint64_t>& ids) {
  std::vector<Response> answers(ids.size());
  std::vector<bool> answered(ids.size(), false);
  std::size_t left = ids.size();
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const auto early = early_.find(ids[k]);
    if (early == early_.end()) continue;
    answers[k] = std::move(early->second);
    early_.erase(early);
    answered[k] = true;
    --left;
  }
  Bytes in;
  while (left > 0) {
    if (socket_ < 0 || !ReceiveFrame(&in)) return {};
    std::size_t at = 0;
    for (;;) {
      if (in.size() - at < kHeader || Get32(in.data() + at) != 0x424D53FE) {
        Lost(EPROTO);
        return {};
      }
      const std::uint8_t* h = in.data() + at;
      const std::uint32_t next = Get32(h + 20);
      const std::size_t length = next != 0 ? next : in.size() - at;
      if (length < kHeader || length > in.size() - at) {
        Lost(EPROTO);
        return {};
      }
      credits_ += Get16(h + 14);
      const std::uint32_t flags = Get32(h + 16);
      const std::uint32_t status = Get32(h + 8);
      const std::uint64_t id = Get64(h + 24);
      const bool interim = (flags & kFlagAsync) && status == kPending;
      if ((flags & kFlagResponse) && !interim) {
        Response a;
        a.status = status;
        a.sessionId = Get64(h + 40);
        a.treeId = (flags & kFlagAsync) ? 0 : Get32(h + 36);
        a.message.assign(h, h + length);
        const auto which = std::find(ids.begin(), ids.end(), id);
        if (which == ids.end()) {
          // The answer to a write still in flight.
          early_[id] = std::move(a);
        } else if (const auto k = static_cast<std::size_t>(which - ids.begin()); !answered[k]) {
          answers[k] = std::move(a);
          answered[k] = true;
          --left;
        }
      }
      if (next == 0) break;
      at += next;
    }
  }
  for (const Response& a : answers) {
    if (SessionGone(a.status)) {
      Lost(ECONNRESET);
      break;
    }
  }
  return answers;
}

std::vector<SmbWire::Response> SmbWire::Exchange(std::vector<Request> requests) {
  std::vector<std::uint64_t> ids;
  if (!Send(std::move(requests), &ids)) return {};
  return Collect(ids);
}

int SmbWire::Negotiate() {
  Bytes b;
  Put16(b, 36);
  Put16(b, static_cast<std::uint16_t>(std::size(kDialects)));
  Put16(b, 1);  // signing enabled
  Put16(b, 0);
  Put32(b, 0x4);  // large writes
  std::uint8_t guid[16];
  if (getrandom(guid, sizeof guid, 0) != static_cast<ssize_t>(sizeof guid)) {
    std::memset(guid, 0x5a, sizeof guid);
  }
  PutBytes(b, guid, sizeof guid);
  Put64(b, 0);
  for (const std::uint16_t d : kDialects) Put16(b, d);
  const auto r = Exchange({Request{kNegotiate, std::move(b)}});
  if (r.empty()) return lostWith_;
  const Response& a = r[0];
  if (a.status != kSuccess || a.BodySize() < 64) return EPROTO;
  const std::uint8_t* body = a.Body();
  dialect_ = Get16(body + 4);
  if (std::find(std::begin(kDialects), std::end(kDialects), dialect_) == std::end(kDialects)) {
    return EPROTO;
  }
  serverRequiresSigning_ = (Get16(body + 2) & 0x2) != 0;
  const bool largeWrites = (Get32(body + 24) & 0x4) != 0;
  maxWrite_ = Get32(body + 36);
  if (!largeWrites || dialect_ < 0x0210)
    maxWrite_ = std::min<std::uint32_t>(maxWrite_, kCreditUnit);
  if (maxWrite_ == 0) return EPROTO;
  return 0;
}

int SmbWire::LogOn(const Logon& logon) {
  NtlmLogon ntlm(logon.user, logon.domain, logon.password);
  Bytes token = ntlm.Start();
  for (int round = 0; round < 2; ++round) {
    Bytes b;
    Put16(b, 25);
    b.push_back(0);  // flags
    b.push_back(1);  // signing enabled
    Put32(b, 0);     // capabilities
    Put32(b, 0);     // channel
    Put16(b, static_cast<std::uint16_t>(kHeader + 24));
    Put16(b, static_cast<std::uint16_t>(token.size()));
    Put64(b, 0);
    PutBytes(b, token.data(), token.size());
    const auto r = Exchange({Request{kSessionSetup, std::move(b)}});
    if (r.empty()) return lostWith_;
    const Response& a = r[0];
    if (round == 0) {
      if (a.status != kMoreProcessing)
        return a.status == kSuccess ? EPROTO : ErrnoOf(a.status) == EACCES ? EACCES : EPROTO;
      sessionId_ = a.sessionId;
      Bytes challenge;
      if (!a.Buffer(4, 6, &challenge)) return EPROTO;
      const auto answer = ntlm.Answer(challenge);
      if (!answer) return EPROTO;
      token = *answer;
      continue;
    }
    if (a.status != kSuccess) return ErrnoOf(a.status) == EACCES ? EACCES : EPROTO;
    if (a.BodySize() < 8) return EPROTO;
    const std::uint16_t sessionFlags = Get16(a.Body() + 2);
    // A session the server encrypts is beyond these requests: the library serves it.
    if (sessionFlags & 0x4) return EPROTO;
    // A guest's session has no key to sign with, and servers do not ask it to sign.
    const bool guest = (sessionFlags & 0x3) != 0;
    if (serverRequiresSigning_ && !guest) {
      signing_ = true;
      if (dialect_ >= 0x0300) {
        static const char label[] = "SMB2AESCMAC";
        static const char context[] = "SmbSign";
        signingKey_ = Smb3Kdf(ntlm.SessionKey(), Bytes(label, label + sizeof label),
                              Bytes(context, context + sizeof context));
      } else {
        signingKey_ = ntlm.SessionKey();
      }
    }
    return 0;
  }
  return EPROTO;
}

int SmbWire::Connect(const std::string& host, const std::string& share) {
  const Bytes path = Utf16Le("\\\\" + host + "\\" + share);
  Bytes b;
  Put16(b, 9);
  Put16(b, 0);
  Put16(b, static_cast<std::uint16_t>(kHeader + 8));
  Put16(b, static_cast<std::uint16_t>(path.size()));
  PutBytes(b, path.data(), path.size());
  const auto r = Exchange({Request{kTreeConnect, std::move(b)}});
  if (r.empty()) return lostWith_;
  const Response& a = r[0];
  if (a.status != kSuccess) return ErrnoOf(a.status) == EACCES ? EACCES : EPROTO;
  if (a.BodySize() < 16) return EPROTO;
  // A disk share, not one the server encrypts.
  if (a.Body()[2] != 1 || (Get32(a.Body() + 4) & 0x8000) != 0) return EPROTO;
  treeId_ = a.treeId;
  return 0;
}

int SmbWire::Attributes(const std::string& path, std::uint32_t* attributes) {
  auto r = Exchange(
      {Request{kCreate, CreateBody(path, kReadAttributes | kSynchronize, kOpenExisting, 0)},
       Request{kClose, CloseBody(kRelatedFile), true}});
  if (r.empty()) return lostWith_;
  if (r[0].status != kSuccess) return ErrnoOf(r[0].status);
  if (r[0].BodySize() < 60) return EIO;
  *attributes = Get32(r[0].Body() + 56);
  return 0;
}

int SmbWire::PutWhole(const std::string& temp, const std::string& target, bool replace,
                      const std::uint8_t* data, std::size_t size, const Times& times) {
  std::vector<Request> requests = NewFile(temp, data, size);
  requests.push_back(
      {kSetInfo, SetInfoBody(kRelatedFile, kBasicInformation, BasicInfo(times)), true});
  requests.push_back(
      {kSetInfo, SetInfoBody(kRelatedFile, kRenameInformation, RenameInfo(target, replace)), true});
  requests.push_back({kClose, CloseBody(kRelatedFile), true});
  const auto r = Exchange(std::move(requests));
  if (r.empty()) return lostWith_;
  FileId id;
  if (!r[0].FileIdOfCreate(&id)) return r[0].status == kSuccess ? EIO : ErrnoOf(r[0].status);
  int error = 0;
  for (std::size_t i = 1; i + 1 < r.size() && error == 0; ++i) error = ErrnoOf(r[i].status);
  if (error == 0 && size > 0) error = Written(r[1], size);
  const bool closed = r.back().status == kSuccess;
  if (error == 0 && closed) return 0;
  if (error == 0) error = ErrnoOf(r.back().status);
  if (closed) {
    Remove(temp);
  } else {
    Discard(id, temp);
  }
  return error;
}

int SmbWire::Create(const std::string& temp, const std::uint8_t* data, std::size_t size,
                    FileId* id) {
  const auto r = Exchange(NewFile(temp, data, size));
  if (r.empty()) return lostWith_;
  if (!r[0].FileIdOfCreate(id)) return r[0].status == kSuccess ? EIO : ErrnoOf(r[0].status);
  if (size == 0) return 0;
  const int error = Written(r[1], size);
  if (error != 0) Discard(*id, temp);
  return error;
}

int SmbWire::WriteAhead(const FileId& id, std::uint64_t offset, const std::uint8_t* data,
                        std::size_t size) {
  int error = 0;
  while (error == 0 && inFlight_.size() >= kWritesAhead) error = TakeWrite();
  if (error != 0) return error;
  std::vector<std::uint64_t> ids;
  if (!Send({Request{kWrite, WriteBody(id, offset, data, size), false, size}}, &ids)) {
    return lostWith_;
  }
  inFlight_.push_back({ids[0], size});
  return 0;
}

int SmbWire::TakeWrite() {
  const auto [messageId, size] = inFlight_.front();
  inFlight_.pop_front();
  const auto r = Collect({messageId});
  if (r.empty()) return lostWith_;
  return Written(r[0], size);
}

int SmbWire::Drain() {
  int first = 0;
  while (!inFlight_.empty()) {
    const int error = TakeWrite();
    if (first == 0) first = error;
  }
  return first;
}

int SmbWire::Finish(const FileId& id, const std::string& temp, const std::string& target,
                    bool replace, const Times& times) {
  if (const int error = Drain(); error != 0) {
    Discard(id, temp);
    return error;
  }
  const auto r =
      Exchange({Request{kSetInfo, SetInfoBody(id, kBasicInformation, BasicInfo(times))},
                Request{kSetInfo, SetInfoBody(id, kRenameInformation, RenameInfo(target, replace))},
                Request{kClose, CloseBody(id)}});
  if (r.empty()) return lostWith_;
  int error = ErrnoOf(r[0].status);
  if (error == 0) error = ErrnoOf(r[1].status);
  const bool closed = r[2].status == kSuccess;
  if (error == 0 && closed) return 0;
  if (error == 0) error = ErrnoOf(r[2].status);
  if (closed) {
    Remove(temp);
  } else {
    Discard(id, temp);
  }
  return error;
}

void SmbWire::Discard(const FileId& id, const std::string& temp) {
  Drain();
  const Bytes pending{1};
  const auto r = Exchange({Request{kSetInfo, SetInfoBody(id, kDispositionInformation, pending)},
                           Request{kClose, CloseBody(id)}});
  if (r.empty()) return;
  if (r[0].status != kSuccess || r[1].status != kSuccess) Remove(temp);
}

void SmbWire::Remove(const std::string& temp) {
  Exchange({Request{kCreate, CreateBody(temp, kDelete | kReadAttributes | kSynchronize,
                                        kOpenExisting, kNonDirectory | kDeleteOnClose)},
            Request{kClose, CloseBody(kRelatedFile), true}});
}

}  // namespace tolvane
