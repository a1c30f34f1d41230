#pragma once
// What the tests of the simulated client share: a network loaded from a description into a
// temporary folder, the client over it, and the calls that connect and map a name.

#include <gtest/gtest.h>

#include <memory>

#include "netware/sim/sim_admin.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace sim_testing {

class SimFixture : public ::testing::Test {
 protected:
  // Names are mapped over a connection to `home`.
  SimFixture(std::string description, std::string home) : description_(description), home_(home) {}
  void SetUp() override {
    Load();
    Open();
  }
  void Load() { sim::LoadNetworkJson(folder(), description_); }
  void Open() {
    platform_ = sim::OpenNetwork(folder());
    ASSERT_EQ(client().NWCallsInit(nullptr, nullptr), 0);
  }

  nw::NetWareClient& client() { return platform_->Client(); }
  std::filesystem::path folder() const { return temp_.path() / "net"; }

  nw::NWCONN_HANDLE Connect(const std::string& server) {
    nw::NWCONN_HANDLE conn = 0;
    EXPECT_EQ(client().NWCCOpenConnByName(0, server.c_str(), nw::NWCC_NAME_FORMAT_BIND,
                                          nw::NWCC_OPEN_LICENSED, nw::NWCC_TRAN_TYPE_WILD, &conn),
              0)
        << server;
    return conn;
  }
  nw::NWDSContextHandle Context() {
    nw::NWDSContextHandle context = 0;
    EXPECT_EQ(client().NWDSCreateContextHandle(&context), 0);
    return context;
  }
  // NWDSMapNameToID in a fresh context (tree "": the connection's tree).
  nw::NWRCODE MapName(const char* name, nw::nuint32* id, const char* nameContext = "[Root]",
                      const char* tree = "") {
    nw::NWDSContextHandle context = Context();
    EXPECT_EQ(client().NWDSSetContext(context, nw::DCK_NAME_CONTEXT, nameContext), 0);
    EXPECT_EQ(*tree ? client().NWDSSetContext(context, nw::DCK_TREE_NAME, tree) : 0, 0);
    const nw::NWRCODE code = client().NWDSMapNameToID(context, Connect(home_), name, id);
    EXPECT_EQ(client().NWDSFreeContext(context), 0);
    return code;
  }
  std::uint32_t IdOf(const char* dotted, const char* tree = "") {
    nw::nuint32 id = 0;
    EXPECT_EQ(MapName(dotted, &id, "[Root]", tree), 0) << dotted;
    return id;
  }
  // Why loading `description` over the network was refused; "loaded" when it was not.
  std::string LoadError(const std::string& description) {
    try {
      sim::LoadNetworkJson(folder(), description);
    } catch (const sim::SimError& error) {
      return error.what();
    }
    return "loaded";
  }

  testing_support::TempDir temp_;
  std::unique_ptr<nw::NetWarePlatform> platform_;

 private:
  std::string description_, home_;
};

}  // namespace sim_testing
