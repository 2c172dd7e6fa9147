// Texts and images of the application shell by their resource numbers.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

// String table entries.
inline constexpr int kStrProductName = 103;  // "Orvak"
inline constexpr int kStrCompanyKey = 106;   // "ZYRQOL"
inline constexpr int kStrProperties = 108;   // "Properties"
inline constexpr int kStrDeviceView = 155;   // "Device View"
inline constexpr int kStrOutput = 157;       // "Output"

// Bitmaps and icons.
inline constexpr int kImgSplash = 313;
inline constexpr int kImgLogo = 336;
inline constexpr int kImgAppIcon = 128;
inline constexpr int kImgDeviceViewIcon = 162;
inline constexpr int kImgOutputIcon = 166;

QString AppString(int id);
// A bitmap, or else an icon, of that number; null when there is none.
QImage LoadAppImage(int id);
// The icon of that number only (a bitmap may share the number); null when there is none.
QImage LoadAppIcon(int id);
// The button image of a command on the toolbar strips; null when it has none.
QImage LoadToolbarImage(std::uint32_t commandId);
