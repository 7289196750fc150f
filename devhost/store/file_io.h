// File operations whose durable form differs between platforms. Paths are UTF-8.
#pragma once

#include <cstdio>
#include <string>

// fopen with a UTF-8 path.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);
// Flushes the stream and asks the system to put its data on disk.
bool FlushToDisk(std::FILE* file);
// The same for the file's data only, where its size and other metadata have not changed
// since the last flush; cheaper where the system can tell the two apart.
bool FlushDataToDisk(std::FILE* file);
// Replaces `target` by `source` in one step (the old or the new file, never a mix).
bool ReplaceFileAtomically(const std::string& source, const std::string& target);
