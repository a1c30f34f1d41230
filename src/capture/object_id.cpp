#include "capture/object_id.h"

#include <array>
#include <string_view>

#include "formats/byte_buffer.h"
#include "formats/windows1252.h"

namespace capture {

ObjectMapper::~ObjectMapper() {
  if (context_) client_.NWDSFreeContext(*context_);
}

std::optional<nw::NWDSContextHandle> ObjectMapper::RootContext() {
  nw::NWDSContextHandle context = 0;
  if (client_.NWDSCreateContextHandle(&context) != 0) return std::nullopt;
  std::array<std::uint8_t, 16> root{};
  formats::CopyTextToBytes(root, std::string_view("[Root]\0", 7));
  if (client_.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, root.data()) != 0) {
    client_.NWDSFreeContext(context);
    return std::nullopt;
  }
  return context;
}

std::optional<nw::nuint32> ObjectMapper::Map(nw::NWCONN_HANDLE conn, const std::string& name) {
  // A name the client cannot carry names no object it could find.
  std::string clientName;
  try {
    clientName = formats::Utf8ToCp1252(name, "object name");
  } catch (const formats::FormatError&) {
    return std::nullopt;
  }
  std::optional<nw::NWDSContextHandle> context = oneContext_ ? context_ : RootContext();
  if (oneContext_ && !context_) context = context_ = RootContext();
  if (!context) return std::nullopt;
  nw::nuint32 objectID = 0;
  const nw::NWRCODE rc = client_.NWDSMapNameToID(*context, conn, clientName.c_str(), &objectID);
  if (!oneContext_) client_.NWDSFreeContext(*context);
  if (rc != 0 || objectID == 0) return std::nullopt;
  return objectID;
}

}  // namespace capture
