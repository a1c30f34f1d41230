#pragma once
// The ground of an engine's tests: a network described in tests/data, made in a fresh folder
// before each test and opened behind a call counter.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "netware/sim/sim_network.h"
#include "support/counting_platform.h"
#include "support/temp_dir.h"

namespace testing_support {

class CountedNetworkTest : public ::testing::Test {
 protected:
  // `data`: the name of the network's description in tests/data.
  explicit CountedNetworkTest(std::string data) : data_(std::move(data)) {}
  void SetUp() override {
    sim::LoadNetworkJson(network_.path(), TestData(data_));
    platform_ = std::make_unique<CountingPlatform>(sim::OpenNetwork(network_.path()));
  }
  nw::NetWareClient& client() { return platform_->Client(); }

  TempDir network_;
  std::unique_ptr<CountingPlatform> platform_;

 private:
  std::string data_;
};

}  // namespace testing_support
