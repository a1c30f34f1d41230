#pragma once
// A version 3 server keeps its users and groups in its own bindery rather than in NDS: a
// capture of its volumes reads its objects from there.

#include <string>
#include <vector>

#include "netware/nw_client.h"

namespace capture {

struct ServerFacts {
  std::string name;  // as the server names itself
  bool bindery = false;
  std::string tree;  // the tree it stands in; "" when none
};

// Opens a connection to the server for the time of the call. Throws std::runtime_error
// naming the server when it cannot be reached.
ServerFacts ReadServerFacts(nw::NetWareClient& client, const std::string& server);

struct BinderyObject {
  std::string name;  // UTF-8
  nw::nuint32 id = 0;
};

// The server's users, then its groups, each in the order the server returns them. Throws
// std::runtime_error when the scan fails other than by ending.
std::vector<BinderyObject> BinderyObjects(nw::NetWareClient& client, nw::NWCONN_HANDLE conn);

// The names of the server's volumes by number, from 0. Throws std::runtime_error naming the
// server when it cannot be reached.
std::vector<std::string> ServerVolumes(nw::NetWareClient& client, const std::string& server);

}  // namespace capture
