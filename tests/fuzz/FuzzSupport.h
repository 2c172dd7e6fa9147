// Shared pieces of the fuzz targets: one-time set-up with every real device family registered
// and the settings kept away from the user's profile, and a reader that splits the input into
// the choices a target makes and the bytes it feeds on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class CDevice;
class CSystem;

// Registers every device family and widget kind, makes the offscreen application that fonts
// need (unless the target made one), and points the settings store and application-data folder
// at a temporary folder; runs once, later calls return at once.
void FuzzSetUp();

// The type codes of every registered family, with the model index each is created with.
struct CFuzzDeviceType {
  std::uint32_t typeCode;
  std::uint32_t modelIndex;
};
const std::vector<CFuzzDeviceType>& FuzzDeviceTypes();

// A device of the chosen type on the system (owned by the caller).
CDevice* CreateFuzzDevice(CSystem& system, std::uint8_t choice, std::uint32_t deviceId);

// Takes choice bytes off the front of the input; whatever is left is the data.
class CFuzzInput {
 public:
  CFuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  // The next byte, or 0 when the input has run out.
  std::uint8_t Byte() {
    if (m_at >= m_size) return 0;
    return m_data[m_at++];
  }
  std::span<const std::uint8_t> Rest() const { return {m_data + m_at, m_size - m_at}; }
  std::vector<std::uint8_t> RestCopy() const { return {m_data + m_at, m_data + m_size}; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
};
