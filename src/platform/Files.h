// Files and folders: reading, atomic saves, listing, and the program's own folder.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vell {

// The directory that holds the running program, without a trailing separator.
// Every data file of the player lives there.
std::string executableDir();
// executableDir() + "/" + name.
std::string pathBesideExecutable(std::string_view name);

// The part of `path` before its last '\' or '/' (empty when there is none).
std::string parentPath(std::string_view path);

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
// Creates the directory and its missing parents.
bool makeDirectories(const std::string& path);
bool removeFile(const std::string& path);

// Reads the whole file (binary). False when it cannot be opened or read.
bool readFile(const std::string& path, std::string& out);
// Bounded read: false when the file is larger than `maxBytes`.
bool readFileLimited(const std::string& path, size_t maxBytes, std::string& out);

// Writes `data` to a temporary file in the same folder, flushes it to disk and renames it
// over `path`, so that a crash or a full disk never leaves a half-written file behind.
// On failure the old file is untouched and the temporary file is removed.
bool writeFileAtomic(const std::string& path, std::string_view data);

// Removes the temporary files that writeFileAtomic leaves when the process is killed during a
// save: "<name>.tmp<pid>" in `directory` for each of `names`, when that process is gone, is
// this process (nothing of ours is being saved when this runs), or the file is over an hour
// old. Other files are not touched. Returns how many were removed.
int removeStaleTemporaries(const std::string& directory, const std::vector<std::string>& names);

// Names (not paths) of the entries of a directory, sorted; empty when it cannot be read.
std::vector<std::string> listDirectory(const std::string& path);

}  // namespace vell
