// Clipboard formats registered by name, carried as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// UI thread (the system clipboard belongs to it). Without a GUI application (model tests)
// the clipboard is an in-process store with the same behaviour.

// Returns the same number for the same name every time (numbers start at 0xC000).
std::uint32_t RegisterClipboardFormat(const std::string& name);
// The name a format was registered with, empty when unknown.
std::string GetClipboardFormatName(std::uint32_t format);
// Replaces the clipboard's contents with one block of the format.
bool SetClipboardData(std::uint32_t format, const std::vector<std::uint8_t>& bytes);
bool GetClipboardData(std::uint32_t format, std::vector<std::uint8_t>& bytes);
bool IsClipboardFormatAvailable(std::uint32_t format);
// True when the clipboard holds a block of any registered format.
bool ClipboardHoldsRegisteredFormat();
void EmptyClipboard();
