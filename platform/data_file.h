// Opening the files the program reads its data from (reference tables,
// star catalogues, element lists and their templates, scripts, settings
// files, pictures and the files a script reads or writes): only a regular
// file is opened. A named pipe, a folder or a device put in a file's place
// is refused with a reason and never read, so that no reader waits for ever
// on a pipe nobody writes to, or reads a device without end, and no writer
// waits for a pipe's reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Why `path` is not a regular file that can be read ("it is a named pipe,
// not a file"), the system's words when it cannot be opened ("Permission
// denied"), or "" when it is one. Never opens what is not a regular file.
std::string DataFileRefusal(const std::string& path);

// Opens `path` for reading ("rb") when it is a regular file. Else null,
// with the reason in `why` (DataFileRefusal's words) and errno set (ENOENT
// for a missing file, EACCES for a forbidden one, EINVAL for one that is
// not a regular file). A pipe is opened without waiting for a writer and
// shut again at once.
std::FILE* OpenDataFile(const std::string& path, std::string* why = nullptr);

// The whole content of a regular file; none when OpenDataFile refuses it or
// it cannot be read to its end (`why` says which, errno as OpenDataFile
// sets it, or the read's).
std::optional<std::vector<uint8_t>> ReadDataFileBytes(const std::string& path, std::string* why = nullptr);

// Whether `why` is the openers' reason for a path that holds no regular
// file ("it is a named pipe, not a file").
bool IsNotAFileReason(const std::string& why);
// Whether an errno the openers above set says that nothing is there (no
// file of that name, or a file where the path needs a folder).
bool DataFileMissing(int err);
// Whether an errno the openers above set says that the system refuses this
// user the file (EACCES, EPERM): the file is there and may well be sound.
bool DataFileForbidden(int err);

// What the user can do about a file of theirs that could not be read
// (`err` as the openers above set it): give themselves the access to a file
// the system refuses them, put the file back where something else stands
// in its place, or look at the disk; then start the program again.
std::string UnreadFileAdvice(const std::string& path, int err);
// The box text for such a file: "Warning: Can't read <what> <path>", the
// reason, what becomes of it (`consequence`) and UnreadFileAdvice.
std::string UnreadFileWarning(const std::string& what, const std::string& path, const std::string& why, int err,
                              const std::string& consequence);

// The largest settings file, pick list or settings store read: one larger
// is no file of the program's, refused unread as ReadDataFileBytesUpTo does.
inline constexpr uint64_t kSettingsFileBytes = 16 * 1024 * 1024;

// The tests run as root, whom the system refuses no file: while `refuse`
// is set, the openers above refuse every path it answers true for as the
// system refuses a file of mode 000 to its reader ("Permission denied",
// EACCES), before they look at it. An empty function ends it.
void RefuseDataFilesForTest(std::function<bool(const std::string& path)> refuse);
// As ReadDataFileBytes for a file whose reader takes at most `maxBytes`
// bytes: a larger one is read no further and refused ("it is larger than
// 16,777,216 bytes", errno EFBIG), so that a file of gigabytes put where a
// small one belongs never fills the memory.
std::optional<std::vector<uint8_t>> ReadDataFileBytesUpTo(const std::string& path, uint64_t maxBytes,
                                                          std::string* why = nullptr);

// Opens `path` for writing when it is a regular file or not there yet (it
// is then made, mode 0666 less the umask): emptied first ("wb"), or written
// at its end when `append` ("ab"). A named pipe, a folder or a device in its
// place is refused unopened, with the reason and errno as OpenDataFile
// gives them; a pipe is never waited on for a reader.
std::FILE* OpenDataFileToWrite(const std::string& path, bool append, std::string* why = nullptr);

}  // namespace platform
