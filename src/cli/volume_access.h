#pragma once
// What the commands of tolvane-cli share: the connected tree and one volume's live
// assignments as a capture finds them.

#include <set>
#include <string>
#include <vector>

#include "capture/volume_scan.h"
#include "cli/commands.h"
#include "formats/filters_file.h"

namespace cli {

// "1 record", "2 records".
std::string Count(std::size_t n, const char* one, const char* many);

// The tree as the session stores it; throws UsageError when the workstation is not
// connected to it, as the window's tree list holds only those.
std::string ConnectedTree(Context& context, const std::string& name);

// One volume's live assignments, as a capture of it finds them: the drive mapped, the
// tree's objects searched, the scan run, the drive unmapped. Whatever goes wrong, the sink's
// own failures included, comes back as false with `failure` set, never as an exception.
// The entries `alsoRead` names (client code page) are read too where the walk of the volume
// does not meet them; `filters`, when set, gets the volume's filters from the same walk.
bool CaptureVolume(Context& context, const std::string& tree, const std::string& server,
                   const std::string& volume, const capture::RecordSink& sink, std::string* failure,
                   const std::set<std::string>* alsoRead = nullptr,
                   std::vector<formats::FilterRecord>* filters = nullptr);

}  // namespace cli
