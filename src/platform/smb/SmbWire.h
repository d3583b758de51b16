#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/smb/SmbAuth.h"

namespace tolvane {

// A TCP connection to host:port made before deadline: the socket (blocking, close-on-exec), or
// -1 with errno. A name that cannot be resolved: -1 with errno 0 and the resolver's words in
// *resolveError.
int ConnectWithin(const std::string& host, int port, std::chrono::steady_clock::time_point deadline,
                  std::string* resolveError);

// SMB 2 and 3 requests of our own to one share, for the copies into it. The library we list and
// browse with spends a round trip on every request and reaches the time and the name of a file
// only by its path, three requests each; here a file that fits in one write is created,
// written, timed, named and closed in one compound: one round trip.
// One object serves one thread. Every call answers 0 or an errno value (the server's status
// mapped); a lost connection answers a connection error, and the object is of no further use.
class SmbWire {
 public:
  struct Logon {
    std::string user;
    std::string domain;
    std::string password;
  };
  // Times as the server keeps them (100 ns steps since 1601); 0 leaves a time as it is.
  struct Times {
    std::uint64_t lastAccess = 0;
    std::uint64_t lastWrite = 0;
  };
  struct FileId {
    std::uint64_t persistent = 0;
    std::uint64_t volatileId = 0;
  };

  // Connects to host:port, agrees on a dialect, logs on and connects to share within
  // timeoutSeconds for each exchange. Nothing, with the errno in *error, when any of it fails:
  // a connection error when the server cannot be reached, EPROTO or EACCES when it will not
  // take our requests or our logon.
  static std::unique_ptr<SmbWire> Open(const std::string& host, int port, int timeoutSeconds,
                                       const Logon& logon, const std::string& share, int* error);
  ~SmbWire();
  SmbWire(const SmbWire&) = delete;
  SmbWire& operator=(const SmbWire&) = delete;

  // Whether the connection still serves (false once a connection error has been answered).
  bool Usable() const { return socket_ >= 0; }
  // The most one Write (or PutWhole) sends.
  std::size_t MaxWrite() const;

  // The attributes of what is at path (a path in the share, "/" or "\" between folders):
  // 0 with *attributes set, or ENOENT when nothing is there.
  int Attributes(const std::string& path, std::uint32_t* attributes);
  // Writes a whole file of at most MaxWrite bytes in one round trip: creates temp (it must be
  // new), writes data, sets the times, renames it to target (over an existing file when
  // replace) and closes it. On failure the temporary file is removed, as far as the
  // connection lets it.
  int PutWhole(const std::string& temp, const std::string& target, bool replace,
               const std::uint8_t* data, std::size_t size, const Times& times);
  // The same in steps, for a larger file: Create (new, with its first part), WriteAhead the
  // rest, then Finish, or Discard on the way.
  int Create(const std::string& temp, const std::uint8_t* data, std::size_t size, FileId* id);
  // Sends a write (of at most MaxWrite bytes) without waiting for its answer, so that the link
  // stays busy while the server answers: up to kWritesAhead are in flight. 0, or the failure of
  // an earlier write whose answer it took; Finish and Discard take the rest.
  int WriteAhead(const FileId& id, std::uint64_t offset, const std::uint8_t* data,
                 std::size_t size);
  static constexpr std::size_t kWritesAhead = 3;
  int Finish(const FileId& id, const std::string& temp, const std::string& target, bool replace,
             const Times& times);
  void Discard(const FileId& id, const std::string& temp);

  static constexpr std::uint32_t kReadOnly = 0x1;
  static constexpr std::uint32_t kDirectory = 0x10;

 private:
  struct Request;
  struct Response {
    std::uint32_t status = 0;
    std::uint64_t sessionId = 0;
    std::uint32_t treeId = 0;
    // The message from its header on: the offsets in its body count from there.
    Bytes message;

    const std::uint8_t* Body() const;
    std::size_t BodySize() const;
    // The buffer at the offset and length fields of the body (16 bits each), when it lies
    // inside the message.
    bool Buffer(std::size_t offsetField, std::size_t lengthField, Bytes* out) const;
    bool FileIdOfCreate(FileId* id) const;
  };

  SmbWire(int socket, int timeoutSeconds);
  // The answer to a write of size bytes: 0, or why not all of them were written.
  static int Written(const Response& r, std::size_t size);
  // A new temporary file and its first write (none when size is 0), related.
  static std::vector<Request> NewFile(const std::string& temp, const std::uint8_t* data,
                                      std::size_t size);
  // Sends the requests as one compound and waits for every answer; empty after a connection
  // failure (the socket is closed then, and the errno kept in lostWith_).
  std::vector<Response> Exchange(std::vector<Request> requests);
  // The two halves of Exchange: the compound sent (its message ids in *ids), and the answers
  // to ids waited for (answers to other messages kept for their turn).
  bool Send(std::vector<Request> requests, std::vector<std::uint64_t>* ids);
  std::vector<Response> Collect(const std::vector<std::uint64_t>& ids);
  // Waits for the oldest write in flight: 0 or its failure.
  int TakeWrite();
  // Waits for every write in flight: 0 or the first failure.
  int Drain();
  bool SendFrame(const Bytes& frame);
  bool ReceiveFrame(Bytes* frame);
  int Negotiate();
  int LogOn(const Logon& logon);
  int Connect(const std::string& host, const std::string& share);
  void Sign(std::uint8_t* message, std::size_t size) const;
  // A connection failure's errno (the connection is closed).
  int Lost(int error);
  // Removes temp by its path.
  void Remove(const std::string& temp);

  int socket_;
  int timeoutSeconds_;
  int lostWith_ = 0;
  std::uint16_t dialect_ = 0;
  std::uint32_t maxWrite_ = 65536;
  bool serverRequiresSigning_ = false;
  bool signing_ = false;
  Key16 signingKey_{};
  std::uint64_t nextMessageId_ = 0;
  std::uint32_t credits_ = 1;
  std::uint64_t sessionId_ = 0;
  std::uint32_t treeId_ = 0;
  // Writes sent and not yet answered (message id, size), oldest first, and answers that came
  // while another was waited for.
  std::deque<std::pair<std::uint64_t, std::size_t>> inFlight_;
  std::map<std::uint64_t, Response> early_;
};

}  // namespace tolvane
