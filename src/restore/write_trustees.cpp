// The write-trustees command: grants the assignments of a rights file again, record by record.

#include <QLabel>
#include <optional>
#include <string>

#include "app/form1.h"
#include "app/throttled_repaint.h"
#include "formats/rights_file.h"
#include "formats/windows1252.h"
#include "restore/grant.h"

namespace app {
namespace {

// What the user is told of a record that was not added.
std::string FailureText(const restore::GrantOutcome& outcome, const formats::RightsRecord& record) {
  const std::string code = "(E=" + nw::CodeText(outcome.code) + ")";
  switch (outcome.failure) {
    case restore::GrantFailure::kConnection:
      return "Cannot open connection to the given server " + code;
    case restore::GrantFailure::kObjectNameTooLong:
      return "The object name " + record.object + " is longer than its " +
             std::to_string(outcome.limit) + " characters; the trustee was not added.";
    case restore::GrantFailure::kTreeNameTooLong:
      return "The tree name " + record.tree + " is longer than its " +
             std::to_string(outcome.limit) + " characters; the trustee was not added.";
    case restore::GrantFailure::kObjectNotFound:
      return "Cannot find object " + record.object + " " + code;
    case restore::GrantFailure::kBadRights:
      return "The rights text " + formats::QuoteForMessage(record.rights) +
             " holds a word that is no right; the trustee was not added.";
    default:
      return "NWAddTrustee failed " + code;
  }
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
  restore::Granter granter(platform_.Client());
  ThrottledRepaint repaint;
  std::int64_t total = 0;
  std::int64_t failed = 0;
  while (!file->AtEnd()) {
    ++total;
    formats::RightsRecord record;
    try {
      record = file->ReadRecord();
    } catch (const formats::BadRecord& e) {
      // A line that is no record costs that line alone; the reader is past it.
      desktop_.MsgBox(e.what(), MsgIcon::Critical);
      ++failed;
      continue;
    } catch (const formats::FormatError& e) {
      // The file cannot be read on.
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

    const restore::GrantOutcome outcome = granter.Grant(record);
    if (outcome.status == restore::GrantStatus::kFailed) {
      desktop_.MsgBox(FailureText(outcome, record), MsgIcon::Critical);
      ++failed;
    }
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
