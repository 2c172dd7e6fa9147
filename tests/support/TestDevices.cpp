// The test device family.
#include "tests/support/TestDevices.h"

#include "core/protocol/ControlMessage.h"

CParamInfo CTestDevice::GetParameterAt(int n) {
  CParamInfo info;
  switch (n) {
    case 0:
      info.name = "Gain";
      info.id = kTestGain;
      info.kind = ParamKind::kLevel;
      info.minimum = -80.0f;
      info.maximum = 10.0f;
      return info;
    case 1:
      info.name = "Mute";
      info.id = kTestMute;
      info.kind = ParamKind::kBool;
      info.maximum = 1.0f;
      return info;
    case 2:
      info.name = "Label";
      info.id = kTestLabel;
      info.kind = ParamKind::kText;
      return info;
    default:
      return CDevice::GetParameterAt(n);
  }
}

CParamValue CTestDevice::GetCurrentValue(int parameterId) {
  auto it = values.find(parameterId);
  return it == values.end() ? CDevice::GetCurrentValue(parameterId) : it->second;
}

void CTestDevice::ApplyControlChange(const CParamValue& value) {
  applied.push_back(value);
  values[value.id] = value;
  if (queueChanges)
    QueueMessage(false, MakeMessage(std::uint32_t(value.id), {0xF1, std::uint8_t(value.id),
                                                             std::uint8_t(value.integer)}));
  CDevice::ApplyControlChange(value);
}

std::uint32_t CTestDevice::GetMessageMergeMask(const CControlMessage& message) {
  (void)message;
  return mergeMask;
}

std::unique_ptr<CControlMessage> CTestDevice::MakeMessage(std::uint32_t command,
                                                          std::vector<std::uint8_t> frame) {
  auto msg = std::make_unique<CControlMessage>();
  msg->Set(command, std::uint32_t(frame.size()), 0, nullptr, true, 0xA8, 0, 0);
  for (std::size_t i = 0; i < frame.size(); ++i) msg->frame[i] = frame[i];
  return msg;
}

void CTestDevice::Connect() {
  for (int i = 0; i < 3; ++i) UpdateCommsState(true);
}
