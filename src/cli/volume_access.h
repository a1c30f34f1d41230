#pragma once
// What the commands of tolvane-cli share: the connected tree, the volume list and one
// volume's live assignments as a capture finds them.

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/engines.h"

namespace cli {

// "1 record", "2 records".
std::string Count(std::size_t n, const char* one, const char* many);

// The tree as the session stores it; throws UsageError when the workstation is not
// connected to it, as the window's tree list holds only those.
std::string ConnectedTree(Context& context, const std::string& name);

// What the window's volume list holds after the tree was chosen: the last component of
// every volume object found, in the search's order.
std::vector<std::string> VolumeList(nw::NetWarePlatform& platform, const std::string& tree);

// One volume's live assignments, as a capture of it finds them: the drive mapped, the
// tree's objects searched, the scan run, the drive unmapped. False with `failure` set when
// the scan did not complete.
bool CaptureVolume(Context& context, const std::string& tree, const std::string& server,
                   const std::string& volume, const RecordSink& sink, std::string* failure);

}  // namespace cli
