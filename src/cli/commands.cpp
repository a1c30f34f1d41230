#include "cli/commands.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "capture/bindery.h"
#include "capture/object_search.h"
#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/windows1252.h"

namespace cli {

using formats::RightsRecord;

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string ConnectedTree(Context& context, const std::string& name) {
  std::string known;
  for (const nw::NWTree& tree : context.platform.Session().Trees()) {
    if (formats::SameName(tree.ShortName, name)) return tree.ShortName;
    known += (known.empty() ? "" : ", ") + tree.ShortName;
  }
  throw UsageError("The workstation is not connected to the tree " +
                   formats::QuoteForMessage(name) +
                   (known.empty() ? std::string(" (it is connected to none).")
                                  : " (it is connected to " + known + ")."));
}

void CheckOutput(std::ostream& out) {
  out.flush();
  if (out) return;
  // errno still holds why the write failed: nothing since has made a call that sets it.
  const int error = errno;
  throw OutputError("Cannot write to standard output" +
                    (error != 0 ? ": " + std::generic_category().message(error) : std::string()) +
                    ".");
}

std::unique_ptr<nw::NetWarePlatform> Context::OpenPlatform() {
  if (!opener_) throw UsageError("No other connection to the network can be opened.");
  return opener_();
}

void Context::Line(const std::string& line) {
  progress_.Hide();
  errno = 0;
  out_ << line << '\n';
  CheckOutput(out_);
}

void Context::Write(std::string_view bytes) {
  errno = 0;
  out_ << bytes;
  CheckOutput(out_);
}

void Context::Problem(const std::string& text) {
  progress_.Hide();
  out_.flush();
  err_ << "tolvane-cli: " << text << '\n';
}

void Context::Note(const std::string& text) {
  if (!quiet_) Problem(text);
}

int ListTrees(Context& context) {
  for (const nw::NWTree& tree : context.platform.Session().Trees()) context.Line(tree.ShortName);
  return kDone;
}

int ListVolumes(Context& context, const std::string& tree) {
  const std::string stored = ConnectedTree(context, tree);
  const std::vector<std::string> volumes =
      capture::VolumeList(*context.platform.CreateDirectory(), stored);
  for (const std::string& volume : volumes) context.Line(volume);
  if (volumes.empty()) context.Note("No volume objects found in the tree " + stored + ".");
  return kDone;
}

int ListServerVolumes(Context& context, const std::string& server) {
  std::vector<std::string> volumes;
  try {
    volumes = capture::ServerVolumes(context.platform.Client(), server);
  } catch (const std::runtime_error& e) {
    throw UsageError(std::string("Cannot list the volumes: ") + e.what());
  }
  for (const std::string& volume : volumes) context.Line(volume);
  return kDone;
}

}  // namespace cli
