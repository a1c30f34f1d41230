#include "support/store_masks.h"

#include <sqlite3.h>

namespace testing_support {

std::map<std::string, std::uint16_t> StoreMasks(const std::filesystem::path& network,
                                                const std::string& server,
                                                const std::string& volume) {
  std::map<std::string, std::uint16_t> masks;
  sqlite3* db = nullptr;
  const std::string file = (network / "network.db").string();
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT t.dir_key, t.object_id, t.rights FROM trustees t "
                       "JOIN volumes v ON v.id = t.volume_id JOIN servers s ON s.id = v.server_id "
                       "WHERE s.name = ?1 AND v.name = ?2",
                       -1, &q, nullptr);
    sqlite3_bind_text(q, 1, server.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(q, 2, volume.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(q) == SQLITE_ROW) {
      const std::string key = reinterpret_cast<const char*>(sqlite3_column_text(q, 0)) +
                              std::string(",") + std::to_string(sqlite3_column_int64(q, 1));
      masks[key] = static_cast<std::uint16_t>(sqlite3_column_int(q, 2));
    }
    sqlite3_finalize(q);
  }
  sqlite3_close(db);
  return masks;
}

}  // namespace testing_support
