// The offer of the kept copies: each copy of a file's earlier bytes that a save cut short kept
// (platform/AtomicFile.h) is told of with what its save recorded and what its file is now, and
// the person puts it back, saves it under another name, deletes it or keeps it. UI thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CMainFrame;
struct CKeptCopy;

class CKeptCopyOffer {
 public:
  explicit CKeptCopyOffer(CMainFrame& frame) : m_frame(frame) {}
  CKeptCopyOffer(const CKeptCopyOffer&) = delete;
  CKeptCopyOffer& operator=(const CKeptCopyOffer&) = delete;

  // Each kept copy of every file or of the file at path, the copies of one file together and
  // newest first, each offered with what its file is now (gone, not opening, or written
  // since): the user puts it back over the file (what the file held is kept as a copy of its
  // own), saves it under another name, deletes it, or keeps it to be asked again at the next
  // start (saves of its file leave it meanwhile). True when one was put back.
  bool OfferKeptCopies(const std::string& path = {});
  // The question about one kept copy; opens tells whether its file opens (looked at when not
  // given), untilSaved that Keep lasts until the file is next saved; place and count, where the
  // copy stands among those of its file, newest first. True when it was put back.
  bool OfferKeptCopy(const CKeptCopy& kept, std::optional<bool> opens, bool untilSaved, std::size_t place = 1,
                     std::size_t count = 1);
  // Says what copies of the file at path are kept, as it is opened (opened: whether it
  // opened): asks about each that was not asked about before, or each when the file did not
  // open, and names the others. told gets those left; true when one was put back (the rest then
  // wait).
  bool TellOfKeptCopies(const std::string& path, bool opened, std::vector<CKeptCopy>& told);

 private:
  CMainFrame& m_frame;
};
