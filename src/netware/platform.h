#pragma once
// Everything the window reaches on the network, in one bundle.

#include <memory>

#include "netware/file_listing.h"
#include "netware/nds_controls.h"
#include "netware/nw_client.h"

namespace nw {

class NetWarePlatform {
 public:
  virtual ~NetWarePlatform() = default;
  virtual NetWareClient& Client() = 0;
  virtual NWSession& Session() = 0;
  virtual std::unique_ptr<NWDirectory> CreateDirectory() = 0;
  virtual FileListing& Files() = 0;
};

}  // namespace nw
