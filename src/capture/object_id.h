#pragma once
// An object's name mapped to its ID in NDS, read from the root so that every name is taken as
// a complete one.

#include <optional>
#include <string>

#include "netware/nw_client.h"

namespace capture {

class ObjectMapper {
 public:
  // `oneContext`: one context for every name, made at the first; else, the window's way, a
  // context made and freed for each name.
  ObjectMapper(nw::NetWareClient& client, bool oneContext)
      : client_(client), oneContext_(oneContext) {}
  ~ObjectMapper();
  ObjectMapper(const ObjectMapper&) = delete;
  ObjectMapper& operator=(const ObjectMapper&) = delete;

  // The ID of `name` on the server of `conn`; nullopt when it maps to no object (or the client
  // cannot carry it).
  std::optional<nw::nuint32> Map(nw::NWCONN_HANDLE conn, const std::string& name);

 private:
  std::optional<nw::NWDSContextHandle> RootContext();

  nw::NetWareClient& client_;
  const bool oneContext_;
  std::optional<nw::NWDSContextHandle> context_;
};

}  // namespace capture
