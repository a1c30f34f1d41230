#pragma once
// What the get-trustees command works with while it runs: the window holds it, the capture's
// handlers alone look inside.

#include <memory>
#include <string>
#include <vector>

#include "formats/object_list_file.h"

namespace app {

struct CaptureWork {
  std::vector<std::string> List1;  // objects compiled for a scan
  std::vector<std::string> List2;  // candidate drive letters; the first is the mapped one
  // Open while the command's searches run.
  std::unique_ptr<formats::ObjectListWriter> objectList;
  // Object search results that could not be read, reported once per command.
  std::vector<std::string> unreadableResults;
};

}  // namespace app
