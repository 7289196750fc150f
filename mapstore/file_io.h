// File operations whose durable form differs between platforms. Paths are UTF-8.
#pragma once

#include <cstdio>
#include <string>

// fopen with a UTF-8 path.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);
// Opens an existing regular file ("rb" or "r+b"); anything else (a FIFO, a device, a
// folder) is refused without waiting on it. Null with the reason in `problem`.
std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* problem);
// Whether `path` names something that reading could wait on forever or without end: a
// FIFO, a socket or a device. False for regular files, folders and missing paths.
bool IsStreamOrDevice(const std::string& path);
// Flushes the stream and asks the system to put its data on disk.
bool FlushToDisk(std::FILE* file);
// The same for the file's data only, where its size and other metadata have not changed
// since the last flush; cheaper where the system can tell the two apart.
bool FlushDataToDisk(std::FILE* file);
// Replaces `target` by `source` in one step (the old or the new file, never a mix).
bool ReplaceFileAtomically(const std::string& source, const std::string& target);

// Creates a new empty file, opened "w+b", whose name starts with `target`'s and which no
// other file has, in `target`'s folder, so that a rename can later put it in `target`'s
// place. When `target` exists the new file takes its permissions and, where the system
// allows, its owner. Null (and `problem`) on failure; *path is set on success.
std::FILE* CreateFileBeside(const std::string& target, std::string* path, std::string* problem);
// Removes the files a writer killed while writing left beside `target` (as
// CreateFileBeside names them): those nobody holds open for writing any more and that
// nothing wrote to for kStaleTemporarySeconds. How many went.
const int kStaleTemporarySeconds = 10;
int RemoveStaleFilesBeside(const std::string& target);
// The same for a new empty folder.
bool CreateFolderBeside(const std::string& target, std::string* path, std::string* problem);
// Gives `path` the permissions and owner of `model` when `model` exists; nothing when
// it does not. False when the rights could not be copied.
bool CopyAccessRights(const std::string& model, const std::string& path);
bool RemoveFile(const std::string& path);
// Removes an empty folder.
bool RemoveFolder(const std::string& path);

// Bytes free for this process on the file system holding `folder`; UINT64_MAX when the
// system cannot tell.
unsigned long long FreeBytesIn(const std::string& folder);

// What the last failed file operation of this thread ran into, for a message: "the disk
// is full" and the like, or empty when the system said nothing.
std::string LastFileErrorText();

// An exclusive lock for writing a whole file, taken by every program that writes maps.
// It is a record lock on one byte far past any data (so it never stands in the way of
// reading): POSIX fcntl locks natively, and LockFileEx under Windows, which Wine maps to
// the same fcntl locks, so native and Wine programs see each other's. POSIX record locks
// belong to the process: a second lock from the same process always succeeds, and
// closing any descriptor of the file in the process drops them.
// kFailed: the system could not lock the file at all (a file system without record locks,
// as some network mounts are), which says nothing about other writers.
enum class LockOutcome { kTaken, kBusy, kFailed };
// Tries again for about `waitMs` while another program holds the lock. The file must be
// open for writing. On kFailed, `why` says what the system answered.
LockOutcome LockForWriting(std::FILE* file, int waitMs, std::string* why);
void UnlockForWriting(std::FILE* file);
// Whether `path` still names the file open as `file` (nothing was renamed over it).
bool StillNamedBy(std::FILE* file, const std::string& path);
