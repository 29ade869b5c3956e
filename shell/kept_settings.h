// Damaged settings files kept aside (shell/xml_settings.h) that nobody saw
// told: their box came while the program was being ended by a signal (boxes
// then go to standard error only) or was closed by that end, as happens
// when a signal comes while the start-up's first box is open. The end names
// them in its log and keeps a note of them in the settings store; the next
// start tells them in one box and forgets the note.
#pragma once

#include <string>
#include <vector>

struct TKeptSettingsFile {
  std::string file;    // the settings file's path
  std::string why;     // why it could not be read
  std::string keptAs;  // the path it is kept under
};

// Records a file kept aside in this run; `told` when its box reached
// someone (platform::DialogsAttended() once the box was closed).
void NoteKeptSettingsFile(const TKeptSettingsFile& kept, bool told);

// The files of this run, and of the last run's note, not yet told.
std::vector<TKeptSettingsFile> UntoldKeptSettingsFiles();

// The end: writes the note of the files not yet told into the settings
// store (section "Kept Settings Files"), so that the next start tells them,
// and returns the end's log line for each ("[Settings] Can't read file ...:
// kept as ..., default settings used; told at the next start"). Nothing
// when every file was told.
std::vector<std::string> NoteUntoldKeptSettingsFiles();

// The start of a run (what an earlier run in this process recorded is
// forgotten): the files of the last run's note that are still kept under
// their names are told in one box (and each in the log); the note is then
// forgotten, unless the box went unseen (a signal closed it), when they
// stay untold for this run's end to note again.
void TellKeptSettingsFilesOfLastRun();
