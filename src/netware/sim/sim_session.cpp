#include <cctype>

#include "netware/sim/controls.h"
#include "netware/sim/round_trips.h"
#include "netware/sim/text.h"

namespace sim {

namespace {

std::string FullNameOf(const std::string& server, const std::string& volume,
                       const std::string& path) {
  std::string full = "\\\\" + server + "\\" + volume + "\\";
  if (!path.empty()) full += path + "\\";
  return full;
}

}  // namespace

std::string DriveLetter(const std::string& drive) {
  std::string trimmed = drive;
  if (!trimmed.empty() && trimmed.back() == ':') trimmed.pop_back();
  if (trimmed.size() != 1 || !std::isalpha(static_cast<unsigned char>(trimmed[0]))) return "";
  return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(trimmed[0]))));
}

std::string MapDriveIn(Network& network, const std::string& drive, const std::string& path,
                       std::string* fullName) {
  const Catalog& catalog = network.Sync();
  std::string letter = DriveLetter(drive);
  if (letter.empty()) return text::Quote(drive) + " is no drive letter";
  if (path.size() < 3 || (path[0] != '\\' && path[0] != '/') ||
      (path[1] != '\\' && path[1] != '/')) {
    return text::Quote(path) + " is no network path (\\\\SERVER\\VOLUME\\)";
  }
  auto parts = text::Split(path.substr(2), "/\\");
  const ServerRow* server = catalog.ServerByName(parts[0]);
  if (server == nullptr) return "there is no server " + text::Quote(parts[0]);
  if (!server->up) return "the server " + server->name + " is down";
  if (parts.size() < 2 || parts[1].empty()) return text::Quote(path) + " names no volume";
  const VolumeRow* volume = catalog.VolumeByName(server->id, parts[1]);
  if (volume == nullptr) {
    return "the server " + server->name + " has no volume " + text::Quote(parts[1]);
  }
  std::vector<std::string> directories;
  for (std::size_t i = 2; i < parts.size(); ++i) {
    if (!parts[i].empty()) directories.push_back(parts[i]);
  }
  auto stored = network.Folders().Resolve(volume->root, directories, true);
  if (!stored) return "there is no directory " + text::Quote(path);
  Store& store = network.GetStore();
  if (store.Execute("SELECT 1 FROM drive_mappings WHERE drive = ?1", letter)) {
    return "the drive " + letter + ": is already mapped";
  }
  store.Execute("INSERT INTO drive_mappings(drive, volume_id, path) VALUES(?1, ?2, ?3)", letter,
                volume->id, text::Join(*stored, "\\"));
  store.NoteWrite();
  if (fullName != nullptr)
    *fullName = FullNameOf(server->name, volume->name, text::Join(*stored, "\\"));
  return "";
}

bool UnmapDriveIn(Network& network, const std::string& letter) {
  std::string drive = DriveLetter(letter);
  if (drive.empty()) return false;
  Store& store = network.GetStore();
  auto q = store.Prepare("DELETE FROM drive_mappings WHERE drive = ?1");
  q.Bind(1, drive);
  bool removed = q.Run() > 0;
  if (removed) store.NoteWrite();
  return removed;
}

std::vector<nw::NWTree> SimSession::Trees() {
  CrossNetwork(RoundTrip::kControlOperation);
  const Catalog& catalog = network_.Sync();
  std::vector<nw::NWTree> trees;
  auto q = network_.GetStore().Prepare("SELECT tree_id FROM workstation_trees ORDER BY position");
  while (q.Step()) {
    if (const TreeRow* tree = catalog.Tree(q.Int(0))) trees.push_back({tree->name});
  }
  return trees;
}

std::vector<nw::NWDriveMapping> SimSession::DriveMappings() {
  CrossNetwork(RoundTrip::kControlOperation);
  const Catalog& catalog = network_.Sync();
  std::vector<nw::NWDriveMapping> mappings;
  auto q = network_.GetStore().Prepare(
      "SELECT drive, volume_id, path FROM drive_mappings ORDER BY drive");
  while (q.Step()) {
    const VolumeRow* volume = catalog.Volume(q.Int(1));
    const ServerRow* server = volume != nullptr ? catalog.Server(volume->serverId) : nullptr;
    if (server == nullptr) continue;
    mappings.push_back({q.Text(0) + ":", FullNameOf(server->name, volume->name, q.Text(2))});
  }
  return mappings;
}

nw::NWDriveMapping SimSession::MapDrive(std::string& drive, std::string& path, bool) {
  CrossNetwork(RoundTrip::kControlOperation);
  // The flag (a lasting mapping or not) changes nothing here: mappings live in the store.
  nw::NWDriveMapping mapping;
  std::string letter = DriveLetter(drive);
  mapping.Drive = letter.empty() ? drive : letter + ":";
  MapDriveIn(network_, drive, path, &mapping.FullName);
  return mapping;
}

bool SimSession::UnmapDrive(const std::string& letter) {
  CrossNetwork(RoundTrip::kControlOperation);
  return UnmapDriveIn(network_, letter);
}

}  // namespace sim
