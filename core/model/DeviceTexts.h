// How a device is named to a person and in the logs, over its public face.
#pragma once

#include <string>

class CControlMessage;
class CDevice;

// The device's name, then its model and ID, as the lists of devices that a person picks from or
// is asked about show it, so that units of one name, or of none, are told apart: "Main PA
// (Nerex48, ID 4)", "(Sornic, ID 5)" for a unit without a name.
std::string DeviceListText(CDevice& device);
// Writes to the comms error log that a reply to the record's command was answered but not used
// by the device, and why. Any thread.
void LogUnusedReply(const CDevice& device, const CControlMessage& record, const char* why);
