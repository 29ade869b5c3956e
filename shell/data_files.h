// Damaged or missing reference data files: the star catalogues, the object
// database, the tables read at start, the relief and map files. Each reader
// checks what it reads (a size that is not whole records, an index pointing
// outside its data, values outside their ranges) and reports what it found
// here, naming the file and what is wrong; it then goes on with what is
// whole and never writes to the file.
//
// The user is told once per file and run, with how to rebuild the file (the
// data builder noctra-mkdata over the data folder). While the start-up holds
// the reports they are gathered and shown in one box when it releases them;
// after that a newly damaged file is told in a box of its own, shown at once
// on the GUI thread and posted there from any other thread (the star loader),
// so that no reader waits on it. Every report also goes to the log.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// What is wrong with one file.
struct TDataFileProblem {
  // The coded message that leads its line: 100 unrecognised format, 101
  // unexpected size, 102 cannot be opened (missing), 103 cannot be read
  // (values out of range, a database the library refuses).
  int16_t code = 103;
  std::string file;    // as the program names it, relative to the data folder
  std::string reason;  // what is wrong, without a final full stop
};

// The reason given for a file that is not there.
inline constexpr const char* kDataFileMissing = "the file is missing";
// The start of the reason given for a file the system refuses this user
// (no permission to read it, or to write it or beside it where the program
// must): the file is sound, and nothing is to be rebuilt.
inline constexpr const char* kDataFileNoPermission = "Permission denied";
bool DataFileRefusedAccess(const TDataFileProblem& p);
// True when the reason says that something else than a regular file stands
// in the file's place ("it is a named pipe, not a file").
bool DataFileNotAFile(const TDataFileProblem& p);

// A data file opened or read whole for a reader (platform/data_file.h):
// only a regular file is. Else none, with the reason told for the file:
// kDataFileMissing when it is not there, else why it was refused ("it is a
// named pipe, not a file", "Permission denied").
std::FILE* OpenDataFileToRead(const std::string& path, std::string& reason);
std::optional<std::vector<uint8_t>> ReadDataFileWhole(const std::string& path, std::string& reason);

// Reports a damaged or missing file. A file already told in this run is not
// told again (its report goes to the log only). Any thread.
void ReportDataFileProblem(int16_t code, const std::string& file, const std::string& reason);
// Reports several files at once: those not told before in one box.
void ReportDataFileProblems(const std::vector<TDataFileProblem>& problems);

// The start-up of a run: what was told before is forgotten, and from here
// on reports are gathered, not shown.
void HoldDataFileProblems();
// Shows what was gathered in one box (nothing when all is well) and ends
// the holding: later reports are shown as they come. GUI thread.
void ReleaseDataFileProblems();
// Ends the holding and hands over what was gathered, for a box of the
// caller's own (the start-up's "Data file not found" box).
std::vector<TDataFileProblem> TakeHeldDataFileProblems();

// True when the file was reported in this run.
bool DataFileProblemTold(const std::string& file);

// One file's line: the coded text, the file name in double quotes, the
// reason ("Warning: Unexpected file size in "world.dat": ...").
std::string DataFileProblemLine(const TDataFileProblem& p);
// The whole text told for these problems: their lines, then what the
// program does without them (`programEnds`: nothing, it ends) and how to
// rebuild the files.
std::string DataFileProblemText(const std::vector<TDataFileProblem>& problems, bool programEnds = false);
// A missing file without which the start-up cannot go on (it ends there):
// the coded message `code` ("Error: Can't open file ") naming the file in
// double quotes, and why when it is there but was refused, then how to
// rebuild it, in a box of its own shown at once.
// The file counts as told; the log has it too. GUI thread.
void ShowMissingStartupFile(int16_t code, const std::string& file, const std::string& reason = kDataFileMissing);

// The command that rebuilds the data folder's files: the data builder found
// beside the program (or by its name) and the data folder, each quoted.
std::string DataBuilderCommand();

// Size texts of the readers' reasons: "8,028,907 bytes".
std::string ByteCountText(uint64_t bytes);
// "4,000,015 bytes is not a whole number of 31-byte records", or "" when it
// is one.
std::string WholeRecordsReason(uint64_t bytes, int recordBytes);

// Forgets every report and ends any holding (each test starts afresh).
void ForgetDataFileProblemsForTest();
