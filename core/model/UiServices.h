// What model code asks of the user interface, through one object: the main frame installs it,
// tests install a recording fake. Model code never reaches a window any other way.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WindowMessages.h"

class CCCImageBase;
class CCustomControlObject;
class IImageStore;
class IZonedDevices;
struct CLogFont;

class IUiServices : public IMessageSink {
 public:
  // Post (any thread, from IMessageSink): the message reaches the main frame on the UI thread,
  // in the order of posting.

  // UI thread: a warning box on the main frame (text, caption).
  virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;
  // UI thread: a confirmation question with caption, question, the OK button relabelled okText,
  // "Cancel" and the box for never asking again. True when OK was pressed; neverAgain is then
  // the state of the box (it is left alone on any other answer).
  virtual bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                          bool& neverAgain) = 0;
  // UI thread: a file error in a message box with an exclamation icon.
  virtual void ShowFileError(const std::string& text, const std::string& caption) = 0;

  // UI thread: the dialogs behind the picker rows of the properties grid; each returns true on
  // OK with the value written.
  // The image selection dialog over the system's images; image may come back null ("Remove
  // Image").
  virtual bool PickImage(IImageStore* images, CCCImageBase*& image) = 0;
  // The parameter selection dialog over the system's devices; it binds the widget itself on OK.
  virtual bool PickParameter(IZonedDevices* devices, CCustomControlObject* widget) = 0;
  // The colour dialog with its custom colours shown; colour has red in bits 0-7.
  virtual bool PickColour(std::uint32_t& colour) = 0;
  // The font dialog, screen fonts only and without effects.
  virtual bool PickFont(CLogFont& font) = 0;
};
