#pragma once
// What every call of the simulated client shares: the store's lock turned into a code, the
// caller's Windows-1252 buffers, and the connection's server.

#include <cstddef>
#include <string>

#include "netware/sim/sim_client.h"
#include "netware/sim/text.h"

namespace sim {

// A store that stayed locked past the wait answers a code; anything worse throws.
template <typename Body>
nw::NWRCODE Guarded(Body&& body) {
  try {
    return body();
  } catch (const StoreBusy&) {
    return kStoreFailure;
  }
}

inline void Clear(char* buffer, std::size_t size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
}

// Stored UTF-8 out to the caller's Windows-1252 buffer.
inline bool Put(const std::string& utf8, char* buffer, std::size_t size) {
  auto bytes = text::Utf8ToCp1252(utf8);
  if (!bytes) throw SimError("The name " + text::Quote(utf8) + " has no Windows-1252 form.");
  return text::CopyOut(*bytes, buffer, size);
}

inline std::string In(const char* cp1252) { return text::Cp1252ToUtf8(cp1252); }

template <typename Body>
nw::NWRCODE SimClient::OnServer(nw::NWCONN_HANDLE conn, Body&& body, bool writes) {
  return Guarded([&]() -> nw::NWRCODE {
    const Catalog& catalog = network_.Sync();
    auto found = connections_.find(conn);
    const ServerRow* server = found != connections_.end() ? catalog.Server(found->second) : nullptr;
    if (server == nullptr) return nw::kInvalidConnection;
    if (!server->up) return nw::kServerDown;
    CallScope scope(network_.GetStore(), writes);
    const nw::NWRCODE code = body(*server);
    // A write is stored, durably, before the code says so.
    scope.Commit();
    return code;
  });
}

// `body(server, volume, parsed)` for a full path (dirHandle 0) on a volume of the connection's
// server, else the code to answer.
template <typename Body>
nw::NWRCODE SimClient::OnPath(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                              Body&& body, bool writes) {
  return OnServer(
      conn,
      [&](const ServerRow& server) -> nw::NWRCODE {
        if (path == nullptr) return kInvalidParameter;
        if (dirHandle != 0) return kBadDirectoryHandle;
        VolumePath parsed;
        const VolumeRow* volume = VolumeOfPath(server, path, &parsed);
        if (volume == nullptr) return nw::kVolumeDoesNotExist;
        return body(server, *volume, parsed);
      },
      writes);
}

}  // namespace sim
