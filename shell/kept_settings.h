// Settings files that could not be read: left in place or kept aside
// (shell/xml_settings.h).
//
// Damaged settings files kept aside that nobody saw
// told: their box came while the program was being ended by a signal (boxes
// then go to standard error only) or was closed by that end, as happens
// when a signal comes while the start-up's first box is open, or the
// program was killed while the box was open. A file is noted in the
// settings store as it is kept aside, before its box shows, and the note
// is taken back once someone saw the box; the end names the files still
// untold in its log; the next start tells them in one box and forgets the
// note.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TKeptSettingsFile {
  std::string file;    // the settings file's path
  std::string why;     // why it could not be read
  std::string keptAs;  // the path it is kept under
};

// Records a file kept aside in this run as not yet told, in the settings
// store at once (section "Kept Settings Files").
void NoteKeptSettingsFile(const TKeptSettingsFile& kept);
// The box telling the file kept as `keptAs` was closed: `told` when it
// reached someone (platform::DialogsAttended()). A told file leaves the
// settings store's note.
void KeptSettingsFileTold(const std::string& keptAs, bool told);

// The files of this run, and of the last run's note, not yet told.
std::vector<TKeptSettingsFile> UntoldKeptSettingsFiles();

// The end: makes sure the note of the files not yet told is in the
// settings store, so that the next start tells them, and returns the end's
// log line for each ("[Settings] Can't read file ...: kept as ..., default
// settings used; told at the next start"). Nothing when every file was
// told.
std::vector<std::string> NoteUntoldKeptSettingsFiles();

// The start of a run (what an earlier run in this process recorded is
// forgotten, the files left in place with it): the files of the last run's note that are still kept under
// their names are told in one box (and each in the log); the note is then
// forgotten, unless the box went unseen (a signal closed it), when they
// stay untold for this run's end to note again.
void TellKeptSettingsFilesOfLastRun();

// Settings files left where they are in this run, which it never writes
// over: one that could not be read (refused to this user, not a regular
// file: `unread`) and a damaged one that could not be kept aside. Noting a
// file answers false when it was noted in this run already (and told).
// A new run (TellKeptSettingsFilesOfLastRun) forgets them.
struct TLeftInPlace {
  std::string why;  // why it could not be read, or kept aside
  bool unread = false;
};
bool NoteSettingsFileLeftInPlace(const std::string& path, const TLeftInPlace& left);
std::optional<TLeftInPlace> SettingsFileLeftInPlace(const std::string& path);
