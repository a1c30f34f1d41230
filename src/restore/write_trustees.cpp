// The write-trustees command: grants the assignments of a rights file again, record by record.

#include <QLabel>
#include <array>
#include <string>

#include "app/form1.h"
#include "app/throttled_repaint.h"
#include "formats/byte_buffer.h"
#include "formats/rights_file.h"
#include "formats/windows1252.h"
#include "restore/rights_mask.h"

namespace app {
namespace {

constexpr std::size_t kNameBufferSize = 128;        // tree name and name context
constexpr std::size_t kNdsNameBufferSize = 257;     // a complete NDS name and its zero
constexpr std::size_t kBinderyNameBufferSize = 48;  // a bindery object name and its zero
constexpr std::uint8_t kFullPathDirHandle = 0;      // the path starts with the volume

std::string Quoted(const std::string& text, const std::string& before, nw::NWRCODE code) {
  return before + text + " (E=" + nw::CodeText(code) + ")";
}

// Copies `text` and its zero into `buffer`; false when it does not fit.
template <std::size_t N>
bool Terminated(std::array<std::uint8_t, N>& buffer, const std::string& text) {
  if (formats::Utf8ToCp1252(text).size() + 1 > N) return false;
  formats::CopyTextToBytes(buffer, text + '\0');
  return true;
}

}  // namespace

void Form1::Command4_Click() {
  auto chosen =
      desktop_.OpenFile(CommonDialog1.DialogTitle, CommonDialog1.Filter, CommonDialog1.InitDir);
  // A cancel never falls back on the file picked last time: nothing is written.
  if (!chosen || chosen->empty()) {
    desktop_.MsgBox("Please select file.", MsgIcon::Critical, "!! Error !!");
    return;
  }
  CommonDialog1.FileName = *chosen;

  std::optional<formats::RightsFileReader> file;
  try {
    file.emplace(std::filesystem::path(CommonDialog1.FileName));
  } catch (const formats::FormatError& e) {
    desktop_.MsgBox(e.what(), MsgIcon::Critical, "!! Error !!");
    return;
  }

  SetStatus("Adding Trustee Rights");
  desktop_.SetBusy(true);

  nw::NetWareClient& client = platform_.Client();
  ThrottledRepaint repaint;
  std::array<std::uint8_t, kNameBufferSize> nameBuffer{};
  std::int64_t total = 0;
  std::int64_t failed = 0;

  // Grants one record; false when it was not added (the user has been told why).
  auto writeRecord = [&]() -> bool {
    const std::uint16_t mask = restore::RightsMaskFromText(TrusteeRights);
    const std::string server = formats::Utf8ToCp1252(ServerName);
    nw::NWCONN_HANDLE conn = 0;
    nw::NWRCODE rc =
        client.NWCCOpenConnByName(0, server.c_str(), nw::NWCC_NAME_FORMAT_BIND,
                                  nw::NWCC_OPEN_LICENSED, nw::NWCC_TRAN_TYPE_WILD, &conn);
    if (rc != 0) {
      desktop_.MsgBox("Cannot open connection to the given server (E=" + nw::CodeText(rc) + ")",
                      MsgIcon::Critical);
      return false;
    }
    struct CloseConn {
      nw::NetWareClient& client;
      nw::NWCONN_HANDLE conn;
      ~CloseConn() { client.NWCCCloseConn(conn); }
    } closeConn{client, conn};

    std::array<std::uint8_t, 130> version{};
    client.NWGetFileServerVersionInfo(conn, version.data(), nw::kVersionInfoSize);
    const bool bindery = version[nw::kVersionMajorOffset] <= 3;

    std::array<std::uint8_t, kNdsNameBufferSize> objectBuffer{};
    std::array<std::uint8_t, kBinderyNameBufferSize> binderyBuffer{};
    const bool objectFits =
        bindery ? Terminated(binderyBuffer, ObjectName) : Terminated(objectBuffer, ObjectName);
    if (!objectFits) {
      desktop_.MsgBox(
          "The object name " + ObjectName + " is longer than its " +
              std::to_string((bindery ? kBinderyNameBufferSize : kNdsNameBufferSize) - 1) +
              " characters; the trustee was not added.",
          MsgIcon::Critical);
      return false;
    }

    nw::nuint32 objectID = 0;
    if (bindery) {
      rc = client.NWGetObjectID(conn, reinterpret_cast<const char*>(binderyBuffer.data()),
                                nw::OT_USER, &objectID);
    } else {
      if (!Terminated(nameBuffer, TreeName)) {
        desktop_.MsgBox("The tree name " + TreeName + " is longer than its " +
                            std::to_string(kNameBufferSize - 1) +
                            " characters; the trustee was not added.",
                        MsgIcon::Critical);
        return false;
      }
      nw::NWDSContextHandle context = 0;
      rc = client.NWDSCreateContextHandle(&context);
      if (rc == 0) {
        rc = client.NWDSSetContext(context, nw::DCK_TREE_NAME, nameBuffer.data());
        Terminated(nameBuffer, "[Root]");
        if (rc == 0) rc = client.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, nameBuffer.data());
        if (rc == 0) {
          rc = client.NWDSMapNameToID(
              context, conn, reinterpret_cast<const char*>(objectBuffer.data()), &objectID);
        }
        client.NWDSFreeContext(context);
      }
    }
    // Never add a trustee under an identifier that was not found for this very record.
    if (rc != 0) {
      desktop_.MsgBox(Quoted(ObjectName, "Cannot find object ", rc), MsgIcon::Critical);
      return false;
    }

    rc = client.NWAddTrustee(conn, kFullPathDirHandle,
                             formats::Utf8ToCp1252(Label10->text().toStdString()).c_str(), objectID,
                             mask);
    if (rc != 0) {
      desktop_.MsgBox("NWAddTrustee failed (E=" + nw::CodeText(rc) + ")", MsgIcon::Critical);
      return false;
    }
    return true;
  };

  while (!file->AtEnd()) {
    ++total;
    formats::RightsRecord record;
    try {
      record = file->ReadRecord();
    } catch (const formats::FormatError& e) {
      // The file ends inside a record: the fields read are not a record to grant.
      desktop_.MsgBox(e.what(), MsgIcon::Critical);
      ++failed;
      break;
    }
    TreeName = record.tree;
    ObjectName = record.object;
    ServerName = record.server;
    TrusteePath = record.directory;
    TrusteeRights = record.rights;
    Label7->setText(QString::fromStdString(TreeName));
    Label8->setText(QString::fromStdString(ServerName));
    Label9->setText(QString::fromStdString(ObjectName));
    Label10->setText(QString::fromStdString(TrusteePath));
    repaint({Label7, Label8, Label9, Label10});

    if (!writeRecord()) ++failed;
  }

  desktop_.SetBusy(false);
  SetStatus("");
  if (failed == 0) {
    desktop_.MsgBox("All trustees have been added.");
  } else {
    desktop_.MsgBox("Not all trustees have been added: " + std::to_string(failed) + " of " +
                        std::to_string(total) + " records failed.",
                    MsgIcon::Exclamation);
  }
}

}  // namespace app
