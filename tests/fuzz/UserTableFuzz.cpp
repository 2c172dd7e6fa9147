// Fuzz target of the user tables: the security block a unit returns, decoded by every family
// from the receive buffer, the packed table of ten users, and the system file's user list.
// Input: the device type, the form, then the bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/model/Device.h"
#include "core/comms/SerialComms.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "platform/Archive.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  static CSystem system;
  CFuzzInput in(data, size);
  const std::uint8_t type = in.Byte();
  const int form = in.Byte() % 3;
  const auto bytes = in.Rest();
  CUserList users;
  switch (form) {
    case 0: {
      // The worker hands the whole receive buffer; only the reply's bytes are the unit's.
      std::unique_ptr<CDevice> device(CreateFuzzDevice(system, type, 1));
      if (!device) break;
      std::vector<std::uint8_t> buffer(CSerialComms::kReceiveBufferSize, 0);
      std::copy_n(bytes.begin(), std::min(bytes.size(), buffer.size()), buffer.begin());
      device->DecodeSecurityBlock(buffer.data(), users);
      break;
    }
    case 1: {
      CUserTable table{};
      std::copy_n(bytes.begin(), std::min(bytes.size(), table.size()), table.begin());
      UnpackUserTable(users, table);
      CUserTable again{};
      PackUserTable(users, again);
      break;
    }
    default: {
      CArchive ar(in.RestCopy());
      try {
        SerializeUsers(ar, users);
      } catch (const CArchiveException&) {
      }
      break;
    }
  }
  DeleteAllUsers(users);
  return 0;
}
