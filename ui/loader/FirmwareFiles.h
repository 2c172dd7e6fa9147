// What a chosen firmware file plainly is when it is not firmware of the kind a loader sends: a
// picture, an archive, a document or a program by its opening bytes, Intel HEX text where a
// raw image is due, or a file named as the firmware of a family whose loader picks its own.
// A loader refuses such a file, with the line these give, before it sends a byte of it.
#pragma once

#include <string>

#include "ui/loader/BootFrames.h"

// The form of the firmware a loader sends: a processor's plain image, or Intel HEX text.
enum class FirmwareFormat { kRawImage, kIntelHex };

// "a PNG picture", "a ZIP archive", "a PDF document", ... when the file opens with the
// signature of one of those kinds; empty otherwise. Each signature is long enough, or checked
// far enough into its header, that a firmware image practically never opens with it.
std::string KnownFileKind(const BootBytes& file);

// Whether the file opens (after blanks, line ends and a UTF-8 byte order mark) with a whole
// Intel HEX record whose bytes sum to 0, ended by a line end or the end of the file: text that
// is Intel HEX, whatever its line ends and however it ends. Binary data practically never
// opens with one.
bool OpensWithIntelHexRecord(const BootBytes& file);

// The log line refusing the file for a loader of the given format, or empty when nothing speaks
// against it. chosenPath is the path of a file the user chose, whose name is checked too; it is
// empty for a file the loader picked by its own name. The Intel HEX loaders still check the
// records in full.
std::string ForeignFirmwareText(const BootBytes& file, FirmwareFormat format, const std::string& chosenPath);

// Checks Intel HEX firmware as read (chosenPath as above): false, with the line that says why,
// for a file of another kind, one that is not complete Intel HEX or one without a data record
// (no image at all). scan receives the records' data characters.
bool HexFirmwareHolds(ILoaderReport& log, const BootBytes& file, const std::string& chosenPath, HexScan& scan);
