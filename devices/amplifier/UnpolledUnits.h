// What the rack, its tooltip and the properties pane show of a unit of the families that are
// not polled (the Sornic amplifier and the Pannex modules): the model, the ID and the name.
// Their name is never read from the unit and their files keep no name, so only the ID, which
// the program alone keeps, can be changed. UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class CDevice;
class CDeviceProperty;
class Graphics;
class IDevicePropertyGrid;
struct CRect;

// The rack tile, 30 high: the plain amplifier skins, the name, "<model>   ID : <id>" and the
// status LED (red while the unit is not connected); the base's veil over an ignored device.
int DrawUnpolledTile(CDevice& device, Graphics* g, const CRect& rect, int blinkPhase);
// The tooltip's text: "Model : <model>", "ID : <id>" and "Name : <name>" ("(none)" without
// one), then "Not Connected" while the port is open, or "Device Ignored".
std::string UnpolledStatusText(CDevice& device);
// The "General" group: "Model" and "Name" read-only, "ID" editable, as any unit's, with the
// right to edit device properties while the unit is not connected.
void FillUnpolledRows(CDevice& device, IDevicePropertyGrid& grid);
// A new ID from the "ID" row: refused with "Device ID <n> already in use" when another device
// has it (0 never is), else handed to takeId, which the device gives its own SetDeviceId, the
// rack redrawn and the file marked. Any other row is refused.
bool ApplyUnpolledRow(CDevice& device, CDeviceProperty& row, const std::function<void(std::uint32_t)>& takeId);
