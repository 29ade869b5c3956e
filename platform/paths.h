// File-name helpers. Reference files are named in several letter cases by
// different parts of the program ("SAO_YALE.DAT", "sao_yale.dat"); on a
// case-sensitive file system one helper finds the file whatever its case.
#pragma once

#include <cstdio>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Joins a folder (with or without a trailing "/") and a file name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path of `name` inside `folder`: the exact name when such a file exists,
// else the first directory entry whose name matches ignoring ASCII case, else
// the exact (non-existing) path so that the caller's open fails normally.
std::string FindFileNoCase(const std::string& folder, const std::string& name);

// The current working folder, ending in "/".
std::string CurrentFolder();

// `path` as an absolute path: unchanged when it is absolute, else taken
// within `base` (an absolute folder; the current folder when empty). "."
// and ".." parts are resolved by name (symbolic links are kept). An empty
// path stays empty; "~" and "~/..." name the user's home folder. Folders the program keeps for later or hands to
// another process go through here once, so that they mean the same folder
// whatever the working folder of whoever uses them.
std::string AbsolutePath(const std::string& path, const std::string& base = "");
// The same for a folder, ending in "/"; an empty folder is `base` itself.
std::string AbsoluteFolder(const std::string& folder, const std::string& base = "");
// The user's data folder ($XDG_DATA_HOME, else ~/.local/share) and cache
// folder ($XDG_CACHE_HOME, else ~/.cache), without a trailing "/"; empty
// when neither the variable nor $HOME is set.
std::string UserDataFolder();
std::string UserCacheFolder();
// Makes a new folder only this user may enter, "noctra-XXXXXX" in the
// temporary folder ($TMPDIR, else /tmp). Its path ending in "/"; empty
// when it cannot be made (`error` gives the system's reason).
std::string MakePrivateTemporaryFolder(std::string* error = nullptr);

// True when the path names an existing regular file / folder.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// Writes `data` to `path` through a temporary file in the same folder and a
// rename, so that a failed write never leaves a damaged or half-written file
// in place of the old one. Returns false (old file untouched) on failure,
// with the system's reason in `error` when given.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* error = nullptr);

// Makes an empty file at `path` when nothing is there, in one step that
// never replaces a file another program makes meanwhile. True when a file
// was made or something is there already; false with the system's reason
// in `error` when given.
bool CreateFileIfMissing(const std::string& path, std::string* error = nullptr);

// Moves the file `from` into `folder` without ever replacing a file: the
// name is `stem` + `ext`, or when that is taken the first free of
// `stem`-2`ext`, `stem`-3`ext`, ... (up to 9999). Each name is taken in one
// step that fails when the name exists (a rename that refuses to replace;
// on file systems without it a second name, then the first removed). The
// path used; empty on failure (`from` left as it was) with the system's
// reason in `error` when given.
std::string MoveToFreeName(const std::string& from, const std::string& folder, const std::string& stem,
                           const std::string& ext, std::string* error = nullptr);

// Writes a new file into `folder` without ever replacing one, under the
// name MoveToFreeName gives for `stem` and `ext`. `write` fills an open
// temporary file in the folder and returns false on failure. The temporary
// is written and synced whole, renamed to say so
// (`stem``ext`.whole-<process id>-<n>), then moved to its name in the one
// step of MoveToFreeName: a save cut short at any point leaves no empty or
// partial file under a picture's name, and a whole temporary is never
// deleted. Each call first puts the whole files of cut-short saves in the
// folder (of processes that have ended) under a free name of their own,
// listed in `recovered` when given, and removes the partial temporaries of
// its own name. Returns the path used; empty on failure (nothing left
// behind) with the system's reason in `error` when given.
std::string WriteNewFile(const std::string& folder, const std::string& stem, const std::string& ext,
                         const std::function<bool(std::FILE*)>& write, std::string* error = nullptr,
                         std::vector<std::string>* recovered = nullptr);
// Tests make a save stop where its whole temporary is about to take its
// name (a kill at that instant); an empty function removes the hook.
void SetNewFileCommitHookForTest(std::function<void()> hook);

// The name of a temporary file the program writes before it replaces `path`:
// `path` + ".tmp-" + process id + `suffix`.
std::string TemporaryNameFor(const std::string& path, const std::string& suffix = "");
// Removes the temporaries of `path` left by a save that was killed or
// crashed: names `path` + ".tmp-<id>[-<n>]" whose process no longer runs.
// Saves call it before they write.
void RemoveStaleTemporaries(const std::string& path);

// A user's file saved as WriteFileAtomically does; a failure is told to the
// user with ReportSaveFailure.
bool SaveFile(const std::string& path, const void* data, std::size_t size);
// Tells the user that `path` could not be saved and that the previous file
// is kept (one message box through the platform dialogs). A file that keeps
// failing is told once, until ReportSaved says it was saved again.
void ReportSaveFailure(const std::string& path, const std::string& reason);
void ReportSaved(const std::string& path);

// While a batch lives, save failures are collected instead of told one by
// one; its end tells them together in one message ("Error: Can't write
// these files:" with each file and its reason). The program's end saves
// its settings files in one batch. Batches may nest: the outermost tells.
// A batch is one save of the program: the settings store waits for its
// lock at most once in it (TRegIniFile::Flush).
class SaveFailureBatch {
 public:
  SaveFailureBatch();
  ~SaveFailureBatch();
  SaveFailureBatch(const SaveFailureBatch&) = delete;
  SaveFailureBatch& operator=(const SaveFailureBatch&) = delete;
};

// The outermost batch living now, numbered from 1 in order of making; 0
// when none lives.
uint64_t CurrentSaveFailureBatch();

// Where save failures are told instead of a message box: while the program
// ends on a signal nobody answers a box, and they go to the log. Takes the
// message's text; an empty function restores the message boxes.
void SetSaveFailureSink(std::function<void(const std::string& text)> sink);

}  // namespace platform
