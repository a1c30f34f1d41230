// The demo network: a small company on two trees, with every case a user meets.

#include <nlohmann/json.hpp>

#include "netware/sim/sim_network.h"
#include "netware/sim/store.h"

namespace sim {

namespace {

constexpr const char* kDemoNetwork = R"json({
  "trees": [
    { "name": "QARN", "objects": [
      { "name": "QARN", "class": "Organization", "children": [
        { "name": "Admin", "class": "User" },
        { "name": "AllStaff", "class": "Group" },
        { "name": "FS1", "class": "NetWare Server" },
        { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" },
        { "name": "FS1_DATA", "class": "Volume", "server": "FS1", "volume": "DATA" },
        { "name": "HQ", "class": "Organizational Unit", "children": [
          { "name": "Sales", "class": "Organizational Unit", "children": [
            { "name": "JSmith", "class": "User" },
            { "name": "MBrown", "class": "User" },
            { "name": "ALarsson", "class": "User" },
            { "name": "KNguyen", "class": "User" },
            { "name": "PMüller", "class": "User" },
            { "name": "SalesTeam", "class": "Group" },
            { "name": "SalesManager", "class": "Organizational Role" } ] },
          { "name": "Finance", "class": "Organizational Unit", "children": [
            { "name": "EBerg", "class": "User" },
            { "name": "TOkafor", "class": "User" },
            { "name": "LRossi", "class": "User" },
            { "name": "Accounting", "class": "Group" },
            { "name": "Controller", "class": "Organizational Role" } ] },
          { "name": "IT", "class": "Organizational Unit", "children": [
            { "name": "RPatel", "class": "User" },
            { "name": "SKim", "class": "User" },
            { "name": "ITStaff", "class": "Group" },
            { "name": "Helpdesk", "class": "Organizational Role" } ] } ] },
        { "name": "Plant", "class": "Organizational Unit", "children": [
          { "name": "FS2", "class": "NetWare Server" },
          { "name": "FS2_SYS", "class": "Volume", "server": "FS2", "volume": "SYS" },
          { "name": "FS2_APPS", "class": "Volume", "server": "FS2", "volume": "APPS" },
          { "name": "Shipping", "class": "Organizational Unit", "children": [
            { "name": "DWalsh", "class": "User" },
            { "name": "HSato", "class": "User" },
            { "name": "FGarcia", "class": "User" },
            { "name": "Shippers", "class": "Group" } ] },
          { "name": "Production", "class": "Organizational Unit", "children": [
            { "name": "BJohansson", "class": "User" },
            { "name": "CDubois", "class": "User" },
            { "name": "NKowalski", "class": "User" },
            { "name": "IHolm", "class": "User" },
            { "name": "Operators", "class": "Group" },
            { "name": "ShiftLead", "class": "Organizational Role" } ] } ] } ] } ] },
    { "name": "NORDLAB", "objects": [
      { "name": "SE", "class": "Country", "children": [
        { "name": "Uppsala", "class": "Locality", "children": [
          { "name": "NordLab", "class": "Organization", "children": [
            { "name": "Admin", "class": "User" },
            { "name": "LAB1", "class": "NetWare Server" },
            { "name": "LAB1_SYS", "class": "Volume", "server": "LAB1", "volume": "SYS" },
            { "name": "LAB1_RESEARCH", "class": "Volume", "server": "LAB1",
              "volume": "RESEARCH" },
            { "name": "Research", "class": "Organizational Unit", "children": [
              { "name": "AEk", "class": "User" },
              { "name": "MLind", "class": "User" },
              { "name": "OBergström", "class": "User" },
              { "name": "Researchers", "class": "Group" },
              { "name": "LabManager", "class": "Organizational Role" } ] } ] } ] } ] } ] }
  ],
  "servers": [
    { "name": "FS1", "tree": "QARN", "major": 4, "minor": 11, "volumes": [
      { "name": "SYS", "number": 0,
        "directories": [ "Public", "Login", "System", "Mail" ],
        "files": [ "Public/LOGIN.EXE", "Public/MAP.EXE", "Login/LOGIN.EXE" ] },
      { "name": "DATA", "number": 1,
        "directories": [ "Shared/Forms", "Shared/Templates", "Shared/.snapshot",
          "Users/JSmith", "Users/MBrown", "Users/EBerg", "Users/RPatel",
          "Finance/Reports", "Finance/Budget, 2024",
          "Projects/2024/Customer Orders/Nordic/Contracts/Signed",
          "Sales/Quotes" ],
        "files": [ "Shared/Forms/Expense Claim.doc", "Shared/Forms/Leave Request.doc",
          "Users/JSmith/.profile", "Finance/Reports/Q3 Summary.xls" ] } ] },
    { "name": "FS2", "tree": "QARN", "major": 5, "minor": 0, "volumes": [
      { "name": "SYS", "number": 0, "directories": [ "Public", "System" ] },
      { "name": "APPS", "number": 1,
        "directories": [ "Office/Templates", "Erp/Config", "Cad" ] } ] },
    { "name": "OLDFS", "tree": "QARN", "major": 3, "minor": 12,
      "bindery": [
        { "name": "SUPERVISOR", "type": "user" },
        { "name": "GUEST", "type": "user" },
        { "name": "JSMITH", "type": "user" },
        { "name": "MBROWN", "type": "user" },
        { "name": "EVERYONE", "type": "group" },
        { "name": "ACCOUNTS", "type": "group" } ],
      "volumes": [
        { "name": "SYS", "number": 0, "directories": [ "PUBLIC", "LOGIN", "MAIL" ] },
        { "name": "ARCHIVE", "number": 1, "directories": [ "1998", "1999", "INVOICES" ] } ] },
    { "name": "LAB1", "tree": "NORDLAB", "major": 6, "minor": 5, "volumes": [
      { "name": "SYS", "number": 0, "directories": [ "Public", "System" ] },
      { "name": "RESEARCH", "number": 1,
        "directories": [ "Projects/Fusion", "Projects/Genome", "Instruments",
          "Data/Raw/2023" ] } ] }
  ],
  "assignments": [
    { "server": "FS1", "volume": "SYS", "directory": "", "object": "Admin.QARN",
      "rights": "Supervisor" },
    { "server": "FS1", "volume": "SYS", "directory": "System",
      "object": "ITStaff.IT.HQ.QARN",
      "rights": "Read-Write-Create-Delete-AccessCtrl-FileScan-Modify" },
    { "server": "FS1", "volume": "SYS", "directory": "Public", "object": "AllStaff.QARN",
      "rights": "Read-FileScan" },
    { "server": "FS1", "volume": "SYS", "directory": "Login", "object": "AllStaff.QARN",
      "rights": "Read-FileScan" },
    { "server": "FS1", "volume": "SYS", "directory": "Mail",
      "object": "Helpdesk.IT.HQ.QARN", "rights": "Read-Write-Create-FileScan" },

    { "server": "FS1", "volume": "DATA", "directory": "", "object": "AllStaff.QARN",
      "rights": "FileScan" },
    { "server": "FS1", "volume": "DATA", "directory": "", "object": "ITStaff.IT.HQ.QARN",
      "rights": "Supervisor" },
    { "server": "FS1", "volume": "DATA", "directory": "Users/JSmith",
      "object": "JSmith.Sales.HQ.QARN", "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "DATA", "directory": "Users/MBrown",
      "object": "MBrown.Sales.HQ.QARN", "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "DATA", "directory": "Users/EBerg",
      "object": "EBerg.Finance.HQ.QARN", "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "DATA", "directory": "Users/RPatel",
      "object": "RPatel.IT.HQ.QARN", "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "DATA", "directory": "Finance/Reports",
      "object": "Accounting.Finance.HQ.QARN", "rights": "Read-Write-Create-FileScan" },
    { "server": "FS1", "volume": "DATA", "directory": "Finance/Reports",
      "object": "Controller.Finance.HQ.QARN", "rights": "Supervisor" },
    { "server": "FS1", "volume": "DATA", "directory": "Finance/Budget, 2024",
      "object": "Controller.Finance.HQ.QARN",
      "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "DATA", "directory": "Finance/Budget, 2024",
      "object": "EBerg.Finance.HQ.QARN", "rights": "Read-FileScan" },
    { "server": "FS1", "volume": "DATA",
      "directory": "Projects/2024/Customer Orders/Nordic/Contracts/Signed",
      "object": "SalesManager.Sales.HQ.QARN",
      "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "DATA",
      "directory": "Projects/2024/Customer Orders/Nordic/Contracts/Signed",
      "object": "JSmith.Sales.HQ.QARN", "rights": "Read-FileScan" },
    { "server": "FS1", "volume": "DATA", "directory": "Sales/Quotes",
      "object": "SalesTeam.Sales.HQ.QARN", "rights": "Read-Write-Create-FileScan" },
    { "server": "FS1", "volume": "DATA", "directory": "Old Projects",
      "object": "JSmith.Sales.HQ.QARN", "rights": "Read-Write-FileScan", "missing": true },

    { "server": "FS2", "volume": "SYS", "directory": "", "object": "Admin.QARN",
      "rights": "Supervisor" },
    { "server": "FS2", "volume": "SYS", "directory": "Public", "object": "AllStaff.QARN",
      "rights": "Read-FileScan" },
    { "server": "FS2", "volume": "APPS", "directory": "", "object": "ITStaff.IT.HQ.QARN",
      "rights": "Supervisor" },
    { "server": "FS2", "volume": "APPS", "directory": "Office", "object": "AllStaff.QARN",
      "rights": "Read-FileScan" },
    { "server": "FS2", "volume": "APPS", "directory": "Erp",
      "object": "Operators.Production.Plant.QARN", "rights": "Read-Write-FileScan" },
    { "server": "FS2", "volume": "APPS", "directory": "Erp",
      "object": "Shipping.Plant.QARN", "rights": "Read-FileScan" },
    { "server": "FS2", "volume": "APPS", "directory": "Erp/Config",
      "object": "ShiftLead.Production.Plant.QARN",
      "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS2", "volume": "APPS", "directory": "Cad",
      "object": "CDubois.Production.Plant.QARN", "rights": "Read-Write-Create-FileScan" },

    { "server": "OLDFS", "volume": "SYS", "directory": "", "bindery": "SUPERVISOR",
      "rights": "Supervisor" },
    { "server": "OLDFS", "volume": "SYS", "directory": "PUBLIC", "bindery": "EVERYONE",
      "rights": "Read-FileScan" },
    { "server": "OLDFS", "volume": "SYS", "directory": "MAIL", "bindery": "JSMITH",
      "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "OLDFS", "volume": "SYS", "directory": "MAIL", "bindery": "MBROWN",
      "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "OLDFS", "volume": "ARCHIVE", "directory": "INVOICES", "bindery": "ACCOUNTS",
      "rights": "Read-FileScan" },
    { "server": "OLDFS", "volume": "ARCHIVE", "directory": "1998", "bindery": "GUEST",
      "rights": "Read" },

    { "server": "LAB1", "volume": "SYS", "directory": "",
      "object": "Admin.NordLab.Uppsala.SE", "rights": "Supervisor" },
    { "server": "LAB1", "volume": "RESEARCH", "directory": "",
      "object": "LabManager.Research.NordLab.Uppsala.SE", "rights": "Supervisor" },
    { "server": "LAB1", "volume": "RESEARCH", "directory": "Projects",
      "object": "Researchers.Research.NordLab.Uppsala.SE",
      "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "LAB1", "volume": "RESEARCH", "directory": "Data/Raw/2023",
      "object": "AEk.Research.NordLab.Uppsala.SE", "rights": "Read-Write-Create-FileScan" },
    { "server": "LAB1", "volume": "RESEARCH", "directory": "Projects/Genome",
      "object": "OBergström.Research.NordLab.Uppsala.SE", "rights": "Read-FileScan" }
  ],
  "workstation": {
    "trees": [ "QARN", "NORDLAB" ],
    "mappings": [
      { "drive": "F:", "server": "FS1", "volume": "SYS" },
      { "drive": "G:", "server": "FS1", "volume": "DATA" } ] }
})json";

// Everyone at the company can read the shared forms: the directory with the most trustees.
nlohmann::json SharedForms() {
  const char* trustees[] = {"Admin.QARN",
                            "JSmith.Sales.HQ.QARN",
                            "MBrown.Sales.HQ.QARN",
                            "ALarsson.Sales.HQ.QARN",
                            "KNguyen.Sales.HQ.QARN",
                            "PMüller.Sales.HQ.QARN",
                            "EBerg.Finance.HQ.QARN",
                            "TOkafor.Finance.HQ.QARN",
                            "LRossi.Finance.HQ.QARN",
                            "RPatel.IT.HQ.QARN",
                            "SKim.IT.HQ.QARN",
                            "DWalsh.Shipping.Plant.QARN",
                            "HSato.Shipping.Plant.QARN",
                            "FGarcia.Shipping.Plant.QARN",
                            "BJohansson.Production.Plant.QARN",
                            "CDubois.Production.Plant.QARN",
                            "NKowalski.Production.Plant.QARN",
                            "IHolm.Production.Plant.QARN",
                            "AllStaff.QARN",
                            "SalesTeam.Sales.HQ.QARN",
                            "Accounting.Finance.HQ.QARN",
                            "ITStaff.IT.HQ.QARN",
                            "Shippers.Shipping.Plant.QARN",
                            "Operators.Production.Plant.QARN",
                            "Helpdesk.IT.HQ.QARN"};
  nlohmann::json list = nlohmann::json::array();
  for (const char* trustee : trustees) {
    std::string name = trustee;
    bool keeper = name.rfind("Helpdesk.", 0) == 0 || name.rfind("Admin.", 0) == 0;
    list.push_back(
        {{"server", "FS1"},
         {"volume", "DATA"},
         {"directory", "Shared/Forms"},
         {"object", name},
         {"rights", keeper ? "Read-Write-Create-Delete-FileScan-Modify" : "Read-FileScan"}});
  }
  return list;
}

}  // namespace

void CreateDemoNetwork(const std::filesystem::path& folder) {
  if (std::filesystem::exists(Store::DatabaseFile(folder))) {
    throw SimError("A network already exists in " + folder.string() + ".");
  }
  auto description = nlohmann::json::parse(kDemoNetwork);
  for (auto& assignment : SharedForms()) description["assignments"].push_back(assignment);
  LoadNetworkJson(folder, description.dump());
}

}  // namespace sim
