// The trustee scan: every object of the object list file is asked for its trustee paths on
// the selected volume, and each assignment becomes one record of the rights file.

#include <QComboBox>
#include <QProgressBar>
#include <algorithm>
#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "app/form1.h"
#include "app/throttled_repaint.h"
#include "capture/trustee_path.h"
#include "formats/byte_buffer.h"
#include "formats/field_reader.h"
#include "formats/object_list_file.h"
#include "formats/rights_file.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"

namespace app {
namespace {

constexpr std::size_t kPathBufferSize = 512;
constexpr std::size_t kServerNameSize = 48;
constexpr std::size_t kVolumeNameSize = 32;
constexpr std::size_t kDirPathSize = 255;
constexpr nw::nuint32 kFirstTrusteePath = 0xFFFFFFFFu;
constexpr std::uint8_t kFullPathDirHandle = 0;

std::string Count(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void Form1::ReadTrusteeRights() {
  SetStatus("Reading Trustee Rights");

  const std::string folder = desktop_.ProgramFolder();
  const std::string listFile = folder + "/" + formats::kObjectListFileName;
  const std::string rightsFile = folder + "/" + formats::RightsFileName(ServerName, VolumeName);
  formats::FieldReader names{std::filesystem::path(listFile)};
  // Records go to a temporary file that replaces the rights file only once the scan is
  // complete: a scan that fails part-way leaves an earlier rights file as it was.
  formats::RightsFileWriter rights{std::filesystem::path(rightsFile)};

  nw::NetWareClient& client = platform_.Client();
  const std::string tree = Combo2->currentText().toStdString();
  const std::string volumePath = formats::Utf8ToCp1252("\\\\" + ServerName + "\\" + VolumeName);
  const std::string volumeHead = "\\\\" + ServerName + "\\";

  std::array<std::uint8_t, kPathBufferSize> pathBuffer{};
  std::array<char, kPathBufferSize> dirName{};
  std::array<char, kServerNameSize> serverBuffer{};
  std::array<char, kVolumeNameSize> volumeBuffer{};
  std::array<char, kDirPathSize> dirPathBuffer{};
  std::array<nw::TrusteeEntry, nw::kTrusteeBatch> batch{};

  // The volume's folders do not change while the scan runs, and many assignments share a
  // directory: each returned path is rebuilt from the listing once.
  std::unordered_map<std::string, std::string> rebuilt;

  ThrottledRepaint repaint;
  const int progressMax = ProgressBar1->maximum();
  std::int64_t counter = 0;
  std::int64_t unmappedObjects = 0;
  std::int64_t skippedRecords = 0;

  while (!names.AtEnd()) {
    Text2 = names.ReadField();
    ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(counter, progressMax)));
    repaint({ProgressBar1}, counter == 0 || names.AtEnd());

    nw::NWCONN_HANDLE conn = 0;
    nw::NWRCODE rc = client.NWParsePath(
        volumePath.c_str(), serverBuffer.data(), serverBuffer.size(), &conn, volumeBuffer.data(),
        volumeBuffer.size(), dirPathBuffer.data(), dirPathBuffer.size());
    if (rc != 0) {
      throw std::runtime_error("the network path \\\\" + ServerName + "\\" + VolumeName +
                               " cannot be reached (E=" + nw::CodeText(rc) + ").");
    }

    // The ID is found afresh for each object; an object whose name does not map is left out
    // rather than scanned under whatever ID the last one had.
    nw::nuint32 objectID = 0;
    nw::NWDSContextHandle context = 0;
    rc = client.NWDSCreateContextHandle(&context);
    if (rc == 0) {
      formats::CopyTextToBytes(pathBuffer, std::string_view("[Root]\0", 7));
      rc = client.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, pathBuffer.data());
      if (rc == 0) {
        rc = client.NWDSMapNameToID(context, conn, formats::Utf8ToCp1252(Text2).c_str(), &objectID);
      }
      client.NWDSFreeContext(context);
    }
    if (rc != 0 || objectID == 0) {
      ++unmappedObjects;
      ++counter;
      continue;
    }

    nw::nuint32 volumeNumber = 0;
    rc = client.NWGetVolumeNumber(conn, volumeBuffer.data(), &volumeNumber);
    if (rc != 0) {
      throw std::runtime_error("the volume " + VolumeName + " of server " + ServerName +
                               " cannot be found (E=" + nw::CodeText(rc) + ").");
    }

    nw::nuint32 pathIteration = kFirstTrusteePath;
    while (true) {
      std::uint8_t accessRights = 0;
      pathBuffer[0] = 0;
      rc = client.NWScanObjectTrusteePaths(
          conn, objectID, volumeNumber, &pathIteration, &accessRights,
          reinterpret_cast<char*>(pathBuffer.data()), pathBuffer.size());
      if (rc != 0 || pathBuffer[0] == 0) break;
      const std::string returnedPath = formats::CopyBytesToText(pathBuffer);

      // Only the object's own entry makes a record, and only one: the first found.
      bool found = false;
      std::uint16_t mask = 0;
      nw::nuint32 trusteeIteration = 0;
      while (!found) {
        nw::nuint32 dateTime = 0;
        nw::nuint32 ownerID = 0;
        batch.fill({});
        rc = client.NWScanDirectoryForTrustees2(
            conn, kFullPathDirHandle, reinterpret_cast<const char*>(pathBuffer.data()),
            &trusteeIteration, dirName.data(), dirName.size(), &dateTime, &ownerID, batch.data());
        if (rc != 0) break;
        for (const nw::TrusteeEntry& entry : batch) {
          if (entry.ObjectID == 0) break;
          if (entry.ObjectID == objectID) {
            found = true;
            mask = entry.ObjectRights;
            break;
          }
        }
      }
      if (!found) continue;

      auto [cached, isNew] = rebuilt.try_emplace(returnedPath);
      if (isNew) {
        cached->second =
            capture::BuildTrusteePath(returnedPath, ServerName, VolumeName, platform_.Files());
      }
      TrusteePath = cached->second;

      formats::RightsRecord record{tree, Text2, ServerName, TrusteePath.substr(volumeHead.size()),
                                   formats::BuildRightsText(mask)};
      // A value the format cannot carry costs its record, not the capture; a failing file
      // still ends the capture.
      try {
        rights.Write(record);
      } catch (const formats::UnwritableValue&) {
        ++skippedRecords;
      }
    }
    ++counter;
  }

  rights.Commit();
  SetStatus("All done");
  std::error_code ignored;
  std::filesystem::remove(listFile, ignored);

  std::string closing = "All Done. File " + rightsFile + " has been created.";
  if (skippedRecords > 0) {
    closing += " " + Count(skippedRecords, "record", "records") +
               " could not be written to the file, because a name holds a character the file "
               "cannot carry, and " +
               (skippedRecords == 1 ? "was" : "were") + " skipped.";
  }
  if (!unreadableResults_.empty()) {
    const auto unreadable = static_cast<std::int64_t>(unreadableResults_.size());
    closing += " " + Count(unreadable, "search result", "search results") +
               " could not be read and " + (unreadable == 1 ? "was" : "were") + " left out.";
  }
  if (unmappedObjects > 0) {
    closing += " " + Count(unmappedObjects, "object", "objects") +
               " could not be found in the tree and " + (unmappedObjects == 1 ? "was" : "were") +
               " left out.";
  }
  desktop_.MsgBox(closing);
  SetStatus("");
}

}  // namespace app
