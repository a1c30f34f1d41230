#include "capture/bindery.h"

#include <array>
#include <stdexcept>

#include "formats/windows1252.h"

namespace capture {
namespace {

constexpr std::size_t kBinderyNameSize = 48;
constexpr std::size_t kTreeNameSize = 33;
constexpr std::size_t kVolumeNameSize = 17;
constexpr nw::nuint32 kFirstObject = 0xFFFFFFFFu;

// A connection to the server by its bindery name, closed when it goes.
class Connection {
 public:
  Connection(nw::NetWareClient& client, const std::string& server) : client_(client) {
    const nw::NWRCODE rc = client.NWCCOpenConnByName(
        0, formats::Utf8ToCp1252(server, "server name").c_str(), nw::NWCC_NAME_FORMAT_BIND,
        nw::NWCC_OPEN_LICENSED, nw::NWCC_TRAN_TYPE_WILD, &conn_);
    if (rc != 0) {
      throw std::runtime_error("the server " + server +
                               " cannot be reached (E=" + nw::CodeText(rc) + ").");
    }
  }
  ~Connection() { client_.NWCCCloseConn(conn_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  nw::NWCONN_HANDLE handle() const { return conn_; }

 private:
  nw::NetWareClient& client_;
  nw::NWCONN_HANDLE conn_ = 0;
};

std::string TextOf(const char* bytes, std::size_t size) {
  std::size_t length = 0;
  while (length < size && bytes[length] != 0) ++length;
  return formats::Cp1252ToUtf8(std::string_view(bytes, length));
}

}  // namespace

ServerFacts ReadServerFacts(nw::NetWareClient& client, const std::string& server) {
  Connection conn(client, server);
  std::array<std::uint8_t, nw::kVersionInfoSize> version{};
  const nw::NWRCODE rc =
      client.NWGetFileServerVersionInfo(conn.handle(), version.data(), version.size());
  if (rc != 0) {
    throw std::runtime_error("the version of server " + server +
                             " cannot be read (E=" + nw::CodeText(rc) + ").");
  }
  ServerFacts facts;
  facts.name = TextOf(reinterpret_cast<const char*>(version.data()), kBinderyNameSize);
  if (facts.name.empty()) facts.name = server;
  facts.bindery = version[nw::kVersionMajorOffset] <= 3;
  std::array<char, kTreeNameSize> tree{};
  // A server that cannot tell its tree stands in none as far as its records go.
  if (client.NWCCGetConnInfo(conn.handle(), nw::NWCC_INFO_TREE_NAME, tree.size(), tree.data()) ==
      0) {
    facts.tree = TextOf(tree.data(), tree.size());
  }
  return facts;
}

std::vector<BinderyObject> BinderyObjects(nw::NetWareClient& client, nw::NWCONN_HANDLE conn) {
  std::vector<BinderyObject> objects;
  for (const std::uint16_t type : {nw::OT_USER, nw::OT_GROUP}) {
    nw::nuint32 id = kFirstObject;
    while (true) {
      std::array<char, kBinderyNameSize> name{};
      std::uint16_t foundType = 0;
      std::uint8_t hasProperties = 0, flags = 0, security = 0;
      const nw::NWRCODE rc = client.NWScanObject(conn, "*", type, &id, name.data(), name.size(),
                                                 &foundType, &hasProperties, &flags, &security);
      if (rc == nw::kNoSuchObject) break;
      if (rc != 0) {
        throw std::runtime_error("the bindery of the server cannot be read (E=" + nw::CodeText(rc) +
                                 ").");
      }
      objects.push_back({TextOf(name.data(), name.size()), id});
    }
  }
  return objects;
}

std::vector<std::string> ServerVolumes(nw::NetWareClient& client, const std::string& server) {
  Connection conn(client, server);
  std::vector<std::string> volumes;
  for (std::uint16_t number = 0;; ++number) {
    std::array<char, kVolumeNameSize> name{};
    const nw::NWRCODE rc = client.NWGetVolumeName(conn.handle(), number, name.data(), name.size());
    if (rc == nw::kVolumeDoesNotExist) break;
    if (rc != 0) {
      throw std::runtime_error("the volumes of server " + server +
                               " cannot be read (E=" + nw::CodeText(rc) + ").");
    }
    volumes.push_back(TextOf(name.data(), name.size()));
  }
  return volumes;
}

}  // namespace capture
