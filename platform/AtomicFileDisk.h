// What the atomic file writer (platform/AtomicFile.cpp) and its store of kept copies
// (platform/AtomicFileCopies.cpp) share: the disk steps on POSIX calls, each told to the test
// hook, the files taken under their locks, and the walk over a file's bytes. For those two
// files alone.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace atomic_file {

// Tells the test hook of the next step that changes the disk (platform/AtomicFile.h).
void Step();

std::string Reason(const std::string& what, int code);

// Flushes a file's data, or a folder's entries, to the disk; 0, or -1 with errno set.
int SyncToDisk(int fd, bool folder);
// Flushes the folder's entries (a file made, renamed or removed there) to the disk; 0 or errno.
int SyncFolder(const std::string& folder);
// Has the disk start writing the file's bytes from..to without waiting for them.
void StartWritingOut(int fd, std::uint64_t from, std::uint64_t to);

// Where the last name of path starts, and the folder before it ("." for a bare name).
std::size_t NameStart(const std::string& path);
std::string FolderOf(const std::string& path);
// The first bytes of a name, at most keep of them, cut at the start of a character.
std::string CutName(std::string name, std::size_t keep);

// Six letters or digits that make a file's name one of its own.
constexpr std::size_t kRandomLetters = 6;
std::string RandomLetters();

// Takes the file's lock for a save: two saves of one file take turns. A file system without
// such locks goes on without.
void LockForSave(int fd);
// Makes the file at path, which may not exist yet, and locks it for this save: another save
// sweeping its folder leaves a locked file alone. -1 with errno set when it cannot be made
// (EEXIST also when a sweep removed it before the lock was taken: another name is tried).
int MakeLockedFile(const std::string& path, mode_t mode);
// Calls found(folder descriptor, name, open descriptor) for each regular file of the user in
// folder whose name passes named and that no save holds (its lock is taken, and held during
// the call). The descriptor is open for reading.
void EachUnheldFile(const std::string& folder, const std::function<bool(const std::string&)>& named,
                    const std::function<void(int, const std::string&, int)>& found);

// Writes size bytes at offset; false with errno set when the file takes no more.
bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset);
// Reads size bytes at offset; false with errno set when they are not all there.
bool ReadAllAt(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset);

// Reads count bytes of the file from offset, block by block, and passes each block to take with
// how many bytes came before it; a take that returns other than 0 stops the walk with that
// code. 0, the code, or the errno of the read that failed.
constexpr std::size_t kCopyBlock = 1 << 20;
int EachBlock(int fd, std::uint64_t offset, std::uint64_t count,
              const std::function<int(const std::uint8_t*, std::size_t, std::uint64_t done)>& take);
// Streams count bytes from one file to another, block by block, each block going out to the
// disk as the next is read; each block read is passed to seen (when given). 0, or the errno of
// the step that failed.
int CopyBytes(int from, std::uint64_t fromOffset, int to, std::uint64_t toOffset, std::uint64_t count,
              const std::function<void(const std::uint8_t*, std::size_t)>& seen = {});

// Little-endian words of the given number of bytes.
void PutWord(std::vector<std::uint8_t>& out, std::uint64_t word, int bytes);
std::uint64_t TakeWord(const std::uint8_t* in, int bytes);

// The kept copy of a save in place (platform/AtomicFileCopies.cpp), as the writer makes, marks
// and ends it; the writer holds it open, and locked, until the save ends.
//
// Copies the first size bytes of the file open at fd (known by the full path file) to a new
// copy in the kept-copies folder, with its form's start and check words, and flushes the copy
// and the folder to the disk under the copy's own name: only then may the file change. Marked
// as its save under way, or (replacing) as the file's bytes that a Put Back writes over. 0,
// with copy and copyFd set, or the errno of the step that failed (nothing is left then).
int MakeKeptCopy(int fd, const std::string& file, std::uint64_t size, std::string& copy, int& copyFd,
                 bool replacing = false);
// Gives the copy the modification time of the file open at fd, after a write of its save: a
// later write of the file, by anything else, leaves the file newer than the copy.
void FollowFileTime(int copyFd, int fd);
// Marks the copy: its save has reached the disk. Flushed, so that a copy found unmarked always
// belongs to a save cut short.
void MarkKeptCopyFinished(int copyFd);
// Writes the copy's earlier bytes back over the file open at fd and cuts it to their length;
// 0 or the errno of the step that failed.
int PutKeptBytesBack(int copyFd, int fd);
// Ends the copy: removed (and the folder flushed), or left, the program knowing of it. copyFd
// is closed and set to -1.
void EndKeptCopy(const std::string& copy, int& copyFd, bool remove);
// After a whole save of file: removes the copies of it that this program made or told the
// person of (not those set aside), and marks the others that belong to a save cut short: their
// file has been saved whole since.
void RetireKeptCopies(const std::string& file);

}  // namespace atomic_file
