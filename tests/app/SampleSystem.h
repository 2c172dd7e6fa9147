// The sample system that tests and the sample-system tool write: a unit of every family that
// the program polls, in two zones, and a custom panel holding a widget of every kind; and the
// simulator options that serve each of its units.
#pragma once

class CSystem;

// The simulator's options for the sample system's units (orvak-devsim takes them with --com N).
inline constexpr const char* kSampleSystemSimulatorOptions =
    "--processor 120:1 --zel-amp 52:2 --zel-break 40:3 --processor 16:4 --zel-break 44:5 --zel-amp 56:6 "
    "--processor 121:7 --processor 112:8 --processor 17:9 --zel-amp 55:10 --zel-break 41:11";
inline constexpr int kSampleSystemUnitCount = 11;
// The alarm threshold of the sample's amplifiers, in degrees C.
inline constexpr int kSampleAlarmTemperature = 80;

// Fills a new system with the sample's devices, zones and custom panel, the first device
// selected. The device families and custom widget kinds must be registered. False when a
// family is missing.
bool BuildSampleSystem(CSystem& system);
