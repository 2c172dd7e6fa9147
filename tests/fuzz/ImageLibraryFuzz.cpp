// Fuzz target of the image library file: any bytes as the library read at start-up, then as
// the file a library change switches to. A library that loads has every picture drawn once and
// is saved; the saved file must load again and save to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "platform/AppPaths.h"
#include "platform/Archive.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/RecordingUi.h"

namespace {
class CQuietMessages : public CRecordingUi {
 public:
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

void DrawAll(const CCCImageDirectory& folder) {
  for (const CCCImageBase* child : folder.GetChildren()) {
    if (child->IsDirectory()) DrawAll(*static_cast<const CCCImageDirectory*>(child));
    else static_cast<const CCCImage*>(child)->GetBitmap();
  }
}

bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  return WriteFileAtomically(path, std::vector<std::uint8_t>(data, data + size), nullptr);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  const std::string folder = GetAppDataFolder();
  const std::string input = folder + "fuzz.ovl", saved = folder + "fuzz-saved.ovl";
  if (!WriteBytes(input, data, size)) std::abort();
  CQuietMessages messages;
  CSystem system;
  system.SetUiServices(&messages);
  system.Settings().SetImageLibraryFilename(input);
  system.Images().LoadImageLibrary();
  if (!system.Images().IsImageLibraryUnread()) DrawAll(system.Images().GetLibraryImages());

  if (!system.Images().ChangeImageLibraryFile(input)) return 0;
  DrawAll(system.Images().GetLibraryImages());
  system.Settings().SetImageLibraryFilename(saved);
  if (!system.Images().SaveImageLibrary()) std::abort();
  std::vector<std::uint8_t> first, second;
  ReadWholeFile(saved, first, nullptr);
  CSystem again;
  again.SetUiServices(&messages);
  if (!again.Images().ChangeImageLibraryFile(saved) || !again.Images().SaveImageLibrary()) std::abort();
  ReadWholeFile(saved, second, nullptr);
  if (first != second) std::abort();
  return 0;
}
