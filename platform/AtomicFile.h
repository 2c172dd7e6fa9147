// A file saved whole or not at all, also when the process dies or the machine stops during the
// save: it is renamed into place once every byte is on the disk, or it is written in place
// behind a copy of its earlier bytes on the disk, which a save cut short leaves to be put back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Until Commit, and when a step fails or the writer goes without a commit, the file at path
// holds its earlier bytes and no temporary file is left. A file whose write permission is off
// for the user (by its mode, even for a user the system lets write anything) is refused by
// Open, as is a path that names a folder, a device or a pipe, and a write past the process's
// file-size limit. The new file keeps the owner, group and permissions of the one it replaces.
// A path that is a symbolic link has its target replaced, or made when the link dangles; a link
// in a shared folder (one that everybody may write, with the sticky bit) is followed only when
// it belongs to the user saving or to the folder's owner, as the system itself would.
//
// As a rule the bytes go to a temporary file beside the file ("<name>.XXXXXX.saving"), which is
// flushed to the disk, renamed over the file, and the folder flushed after. A save that is cut
// short there leaves the file as it was; the temporary file it leaves is removed by the next
// save of that file. The disk starts writing the bytes as each megabyte of them comes, so that
// the flush at the end waits for little more than the last of them.
//
// An existing file is written in place, keeping its inode, where the rename would change what
// the file is: when no temporary file can be made beside it (a folder the user may not write),
// when the file has more than one hard link, or when the new file could not be given its owner
// and group (another user's file in a shared folder). Open then copies the file's earlier bytes
// to the kept-copies folder and flushes the copy to the disk before a byte of the file changes;
// the new bytes go straight over the file as they come (the copy taking the file's modification
// time after each write, so that a later write by anything else shows), and Commit cuts the
// file to their length, flushes it, marks the copy finished and removes it. A save that fails
// puts the earlier bytes back from the copy; one cut short (the process killed, the machine
// stopped) leaves the copy, which FindKeptCopies finds and PutKeptCopyBack puts back, and which
// says whether its save reached the disk. Every save that commits, by either road, removes the
// copies of its file that this program made or told the person of (but those set aside,
// below): the file is whole again, and newer than they are. A copy of the file that the program
// does not know of stays, marked, when its own save was cut short, as overtaken by a whole
// save. A file whose earlier bytes cannot be read or copied is refused before it changes. The
// save holds a lock on the file from Open to the end: two such saves of one file take turns,
// and a whole-file read (platform/Archive.h) waits for a save in place to end before it reads.
//
// Each step returns false with a reason when it fails, and the writer then takes nothing more.
// One thread drives it.
class CAtomicFileWriter {
 public:
  explicit CAtomicFileWriter(const std::string& path);
  ~CAtomicFileWriter();
  CAtomicFileWriter(const CAtomicFileWriter&) = delete;
  CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

  // Creates the temporary file, or keeps the earlier bytes and opens the file to be written in
  // place.
  bool Open(std::string* error);
  // Appends size bytes.
  bool Write(const void* data, std::size_t size, std::string* error);
  // Flushes the bytes written so far to the disk, so that a Commit after it waits only for the
  // bytes written since (a save that must hold others up only for its end).
  bool Flush(std::string* error);
  // Flushes the file's data to the disk, closes it and renames it into place; or cuts the file
  // written in place to its new length, flushes it and removes the copy of its earlier bytes.
  bool Commit(std::string* error);
  // After a successful Open: whether the file is written in place.
  bool WritesInPlace() const { return m_inPlace; }

 private:
  void Fail(std::string reason);
  // Ends the save without a commit: the temporary file goes, or the earlier bytes go back.
  void Discard();
  // Opens the existing file at m_path for the write in place behind a copy of its earlier
  // bytes; false with a reason.
  bool OpenInPlace(std::string* error);
  bool CommitInPlace();
  // Writes the kept earlier bytes back over the file; on success the copy goes.
  void PutEarlierBytesBack();

  std::string m_path;     // the file replaced (a link's target)
  std::string m_refused;  // why the path may not be saved (the links), found by the constructor
  std::string m_temp;     // the temporary file; empty when writing in place
  int m_fd = -1;
  bool m_inPlace = false;
  std::string m_copy;     // in place: the copy of the earlier bytes
  int m_copyFd = -1;      // ... held open, and locked, until the save ends
  std::uint64_t m_earlierSize = 0;  // in place: the file's length before the save
  std::uint64_t m_written = 0;    // bytes taken by Write
  std::uint64_t m_writingOut = 0;  // bytes that the disk has been told to start writing
  std::uint64_t m_sizeLimit = 0;  // the process's file-size limit, read by Open
  std::string m_failure;  // why the writer failed; empty while it has not
};

// Saves the bytes of the file at source from the offset from to its end as the file at
// destination, through a CAtomicFileWriter, a block at a time. source may be destination
// itself, which then keeps only that part. False with a reason.
bool SaveFileTail(const std::string& source, std::uint64_t from, const std::string& destination,
                  std::string* error);

// What became of the save that left a kept copy, as the copy tells it.
enum class EKeptCopySave {
  Untold,       // the copy does not say: an earlier version made it
  MarkDamaged,  // this version's copy whose mark of its save is none this version knows (damaged, or a later version's)
  CutShort,     // the save stopped before its new bytes were all on the disk: the file may hold part of them
  Finished,     // the save's new bytes reached the disk; the program stopped before it removed the copy
  SavedOver,    // cut short, and the file has been saved whole since by a save that did not know of the copy
  Replaced,     // no save's: the file as it was before another copy was put back over it
};
// Why a kept copy may not be put back.
enum class EKeptCopyDamage {
  None,
  Bytes,       // its earlier bytes no longer match their check word
  Start,       // its start (the name of its file) no longer matches its check word; its earlier bytes are whole
  Name,        // an earlier version's copy, whose start no check word covers, names a file other than its own
               // name gives, or one in a folder that is not there; its earlier bytes are whole
  Unreadable,  // its start is damaged, and where its earlier bytes lie cannot be told for sure
  Form,        // a form this version does not read: a later version's, or damaged at its first bytes
};

// The copy of a file's earlier bytes that a save in place left behind.
struct CKeptCopy {
  std::string file;        // the file that save wrote (its full path), as the copy names it; empty when it cannot be read
  std::string copy;        // the copy, in the kept-copies folder
  std::uint64_t size = 0;  // the earlier bytes' length
  EKeptCopyDamage damage = EKeptCopyDamage::None;
  EKeptCopySave save = EKeptCopySave::Untold;
  bool setAside = false;   // kept by the person's choice: saves of its file leave it
  std::int64_t keptAt = 0;    // when the copy was made, ns since the epoch
  // When the copy last changed: made, or marked finished or overtaken. While its save writes the
  // file in place, the copy takes the file's modification time after each write: a file last
  // written later than a copy of a save cut short has been written since that save stopped.
  std::int64_t markedAt = 0;
  std::optional<std::int64_t> fileChangedAt;  // when the file was last written; none when it is gone
  bool known = false;      // this program made it or told of it: its next save of the file removes it
};
// "<application-data folder>/KeptCopies/": where saves in place keep the earlier bytes.
std::string GetKeptCopyFolder();
// The copies that no running save holds, of every file or of one file (named as the save named
// it, or by another path to it). A copy whose file holds every byte it holds again is removed on
// the way (nothing is lost with it), and so is one whose making stopped before its save touched
// the file. Every other file of the copies' kinds is found and kept: one that cannot be read,
// or is of a form this version does not know, marked damaged so.
std::vector<CKeptCopy> FindKeptCopies(const std::string& file = {});
// The copy at the path copy itself (a file of the kept-copies folder), when no save holds it.
std::optional<CKeptCopy> FindKeptCopyAt(const std::string& copy);
// Whether path names a file in the kept-copies folder (by whatever path to that folder).
bool IsInKeptCopyFolder(const std::string& path);
// When the file at path is a kept copy by its first bytes, wherever it lies: the file it is a
// copy of, as it names it (empty when that cannot be read).
std::optional<std::string> FileOfKeptCopy(const std::string& path);
// Whether the copy is still where it was found (another program may have put it back, saved
// it elsewhere or deleted it since).
bool KeptCopyIsThere(const CKeptCopy& kept);

// The steps on a copy take its lock, waiting up to two seconds while another program holds it
// (its sweep reads the copy), and each returns false with a reason when it cannot be done: the
// copy is then kept as it was.
//
// Writes the copy's bytes over its file (in place, or making it when it is gone), flushes them
// and removes the copy. What the file held is kept first, flushed to the disk, as a copy of its
// own (marked Replaced, known to this program) before a byte of the file changes: no Put Back
// loses what it writes over. A damaged copy is refused.
bool PutKeptCopyBack(const CKeptCopy& kept, std::string* error);
// The copy's earlier bytes, when it is not damaged, read as they stand now; false with a reason.
bool ReadKeptCopyBytes(const CKeptCopy& kept, std::vector<std::uint8_t>& bytes, std::string* error = nullptr);
// Saves the copy's earlier bytes, as they stand also when it is damaged (the whole copy when
// where they lie is not known), as the plain file at destination (through a CAtomicFileWriter),
// and then removes the copy.
bool SaveKeptCopyAs(const CKeptCopy& kept, const std::string& destination, std::string* error);
// Removes the copy.
bool DiscardKeptCopy(const CKeptCopy& kept, std::string* error = nullptr);
// A save of a file that commits removes the copies of that file which this program made or
// released (below), but not those set aside here (the person chose to keep one before being
// told what a save would do): the copy is made read-only. Released, the copy is known to this
// program, and its next save of the file removes it. A file of a form this version does not
// read is left as it is by both.
bool SetKeptCopyAside(const CKeptCopy& kept, std::string* error = nullptr);
bool ReleaseKeptCopy(const CKeptCopy& kept, std::string* error = nullptr);

// Makes a write past the process's file-size limit fail (EFBIG) instead of ending the process
// with SIGXFSZ, so that a save can report it and keep the user's work. Called once at start-up,
// before any thread starts.
void LetWritesPastTheFileSizeLimitFail();

// Tests: called with 1, 2, 3 ... at each step of a save that changes what is on the disk
// (a file made, each write, a flush, a cut, a rename, a copy removed), before the step; null
// calls nothing. A test process that kills itself there shows what each step leaves behind.
void SetSaveStepHookForTests(void (*hook)(int step));
// Tests: called each time a step on a kept copy finds it held by another program and waits,
// with the number of waits so far (null: none).
void SetKeptCopyLockWaitHookForTests(void (*hook)(int waited));
