// A system whose port is open on an in-memory line, with units of every family made by the
// factory and connected, so that what a control changes is queued as it would leave; each unit
// has a simulated twin that the queued frames are handed to, as the line would carry them, so
// that the test reads what the unit now holds. A second user, "Guest", becomes the current one
// with the rights a case gives. Windows are driven with Qt's own events.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/comms/SerialComms.h"
#include "core/model/User.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

// Every right a restriction mask can withhold here.
inline constexpr std::uint64_t kEveryRight = kRestrictChangePassword | kRestrictUseDeviceControls | 0x04 |
                                             kRestrictApplicationSettings | kRestrictEditDeviceProperties |
                                             kRestrictRecallSnapshots;

// Type codes of the families' units: Zel amplifiers 51..56, breakout boxes 34..47, the
// processors by model.
inline bool IsZelAmpType(std::uint32_t type) { return type >= 51 && type <= 56; }
inline bool IsZelBoxType(std::uint32_t type) { return type >= 34 && type <= 47; }

class RightsFixture : public ::testing::Test {
 public:
  void SetUp() override {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
    ASSERT_TRUE(system.GetComms().GetTransport().Open(1, 57600, false));
    system.GetUsers().push_back(new CUser("Guest", "guest"));
  }
  void TearDown() override { system.GetComms().GetTransport().Close(); }

  // A unit of the type made by the factory, connected, with its simulated twin.
  CDevice* AddUnit(std::uint32_t type, std::uint32_t id, std::uint32_t hardware = 0) {
    CDevice* device = system.CreateDevice(id, type, hardware);
    EXPECT_NE(device, nullptr) << type;
    if (!device) return nullptr;
    system.AppendDevice(device);
    device->SetNeedsInitialisation(false);
    for (int i = 0; i < 3; ++i) device->UpdateCommsState(true);
    SimSecurityConfig config;
    config.typeCode = std::uint8_t(type);
    config.deviceId = id;
    if (IsZelAmpType(type)) {
      ampUnit = std::make_unique<CSimZelAmpUnit>(config);
      units[device] = ampUnit.get();
    } else if (IsZelBoxType(type)) {
      boxUnit = std::make_unique<CSimZelBreakUnit>(config);
      units[device] = boxUnit.get();
    } else {
      processorUnit = std::make_unique<CSimProcessorUnit>(int(type), id, hardware);
      units[device] = processorUnit.get();
    }
    return device;
  }

  // The guest becomes the current user, withholding the rights of the mask.
  void BecomeGuest(std::uint64_t mask) {
    system.GetUsers().back()->SetRestrictionMask(mask);
    system.SetCurrentUser(int(system.GetUsers().size()) - 1);
  }
  void BecomeAdmin() { system.SetCurrentUser(0); }

  // Every frame the device queued, handed to its simulated unit in order, as the line carries
  // them; the number of frames.
  std::size_t DeliverQueued(CDevice& device) {
    std::size_t n = 0;
    CControlMessage m;
    while (device.PopMessage(m)) {
      units.at(&device)->Handle(SimBytes(m.frame, m.frame + m.FrameBytes()));
      ++n;
    }
    return n;
  }

  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CSystem system;
  std::unique_ptr<CSimZelAmpUnit> ampUnit;
  std::unique_ptr<CSimZelBreakUnit> boxUnit;
  std::unique_ptr<CSimProcessorUnit> processorUnit;
  std::map<const CDevice*, CSimUnit*> units;  // each device's twin
};

// --- The pointer and the keys, as Qt hands them to a window ---

inline void SendMouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), w.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}
inline void Click(QWidget& w, QPoint at) {
  SendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}
inline void DoubleClick(QWidget& w, QPoint at) {
  Click(w, at);
  SendMouse(w, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}
inline void Drag(QWidget& w, QPoint from, QPoint to) {
  SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}
inline void Wheel(QWidget& w, QPoint at, int notches) {
  QWheelEvent event(QPointF(at), w.mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &event);
}
inline void Key(QWidget& w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&w, &press);
}
// Types the text into the open edit box and ends the edit with Enter.
inline void TypeAndEnter(QLineEdit* box, const QString& text) {
  if (!box) return;
  box->setText(text);
  Key(*box, Qt::Key_Return);
}
