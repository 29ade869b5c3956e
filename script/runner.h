// The script language ("Script BASIC"): a line-oriented BASIC run one line
// at a time on the GUI thread. This header is the runner (preparation, the
// run loop, control flow, the coded errors) and the evaluator and statement
// routines the runner, the host commands and the windows share.
//
// Language rules kept by this implementation:
// - keywords and names are upper-cased outside double quotes; '|' outside
//   quotes separates statements on one editor line; a quote left open at
//   the end of an editor line is error 1 for that line; tabs outside quotes
//   are blanks;
// - names of variables are cut to 9 characters (string names: 8 and '$');
//   numbers reach expressions as 15-significant-digit exponent texts;
// - text left over after an expression, more than six arguments, and a
//   second '^' are error 3; AND, OR, XOR and MOD are operators only;
// - text is UTF-8; lengths and positions count characters, and string
//   values hold at most 255 of them;
// - each line is read once, at its first execution, and each expression
//   prepared once; values and errors are those of evaluating the text.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// --- Runner state -------------------------------------------------------------

// Set by every error and by the Script menu's stop command; the run ends
// after the current line.
extern std::atomic<uint8_t> ScriptStopFlag;
// Set by every error (code 1 and above).
extern std::atomic<uint8_t> ScriptErrorFlag;
// Set and cleared by the Script menu's pause command.
extern std::atomic<uint8_t> ScriptPauseFlag;
// Number (from 1) of the script line being executed; 0 while preparing.
extern uint32_t ScriptLineNumber;

// True from the start of a run to its end; a second run is refused meanwhile.
bool ScriptRunActive();

// --- Errors -------------------------------------------------------------------

// Codes beyond the language's table: an expression nested deeper than the
// evaluator takes, and PRINT_MAP without a working printer.
inline constexpr int kPrinterError = 34;

// The text of an error code ("Error #" and the code for codes without one).
std::string ScriptErrorText(int code);
// Reports a script failure: code >= 1 shows "Script BASIC error:" with the
// editor line (also for errors found while preparing; "(pre-processing
// error)" only when no line is to blame) and stops the run; code <= 0 shows
// a "Warning:" and the run goes on.
void ScriptError(int code);
// The same with the reason on a line of its own below the code's text
// (nothing more when it is empty): why a file was refused, say.
void ScriptError(int code, const std::string& reason);

// --- Running ------------------------------------------------------------------

// Runs the script whose editor lines are `lines`. stopLine: 0 when the run
// ended normally (last line passed, HALT) or nothing ran, else the editor
// line (1-based) at which it stopped. False when a run is already active
// (nothing is done). SET_DIR's folder change is undone at the end.
bool ScrRunScript(const std::vector<std::string>& lines, int& stopLine);

// The close paths (editor, main window): with no run active `action` runs
// at once and the result is false. During a run (the caller is then inside
// the run's own event processing, so it cannot wait for it) the stop flag is
// set, `action` runs right after the run has unwound, and the result is
// true: the caller defers its close.
bool ScrStopThen(std::function<void()> action);

// The user closed one of the run's message boxes without its button: the
// run stops as by the Script menu's stop command, and the log tells where.
// Nothing without a run.
void ScrStopOnClosedBox();

// --- Evaluation ---------------------------------------------------------------

enum : uint8_t { kResultNone = 0, kResultString = 2, kResultNumber = 3 };
extern uint8_t ScrResultType;
extern double ScrNumberResult;
extern std::string ScrStringResult;

// Evaluates an expression; the result in the three variables above.
// False after an error (already reported).
bool ScrEvaluate(const std::string& text);

// Text of a number for PRINT, STR$ and INPUT: 15 significant digits, zeros
// trimmed after the point, ".5" for 0.5; the exponent form outside
// 1e-11..1e11.
std::string ScrFloatToStr(double x);
// The 23-character exponent form (" 1.50000000000000E+0000").
std::string ScrExponentForm(double x);
// A number typed or read as text (INPUT, INPUT#, VAL): blanks around it, an
// optional '+', finite. False when the text is no number.
bool ScrTextToNumber(const std::string& text, double& value);
// The reason line of a file a statement could not open (`error`: errno of
// the attempt, `why`: its reason): "" for a missing file, whose code says
// enough, else the name and why ("\"/tmp/p\": it is a named pipe, not a
// file.").
std::string ScrFileRefusal(const std::string& name, int error, const std::string& why);
// Text read from a file: kept when it is UTF-8, else read as Windows-1252
// (Latin-1), so every character arrives as UTF-8.
std::string ScrTextFromFile(const std::string& bytes);

// Variables (between preparation and cleanup of a run). Null after error 3
// (bad name) or 10 (tables full).
double* ScrNumberVariable(const std::string& name);
std::string* ScrStringVariable(const std::string& name);

// Argument routines: each takes the rest of a statement (in/out).
std::string ScrNextArg(std::string& rest);
bool ScrGetStringArg(std::string& rest, std::string& value);
bool ScrGetNumberArg(std::string& rest, double& value);
std::string* ScrGetStringVarRef(std::string& rest);
double* ScrGetNumberVarRef(std::string& rest);
// True when nothing but blanks is left; else error 3.
bool ScrArgsEnd(const std::string& rest);

// The names of the built-in functions and of the host commands, from the
// tables the runner dispatches with (for the user guide's completeness).
std::vector<std::string> ScrFunctionNames();
std::vector<std::string> ScrHostCommandNames();

// --- Internal seams between the runner's units --------------------------------

// Prepares and frees the variable tables; PI, PI2 and RAD defined.
void ScrAllocVariables();
void ScrFreeVariables();
// File channels and the directory search (statements unit).
void ScrInitFiles();
void ScrCloseFiles();
// EOF(channel): 1 at the end, 0 before it; -1 after an error.
int ScrChannelEof(int channel);
// The random generator (seeded per run).
void ScrSeedRandom(uint32_t seed);
uint32_t ScrRandom(uint32_t n);
// Statements of the statements, host-command and menu units; false when the
// line is none of theirs.
bool ScrExecuteStatement(const std::string& line);
bool ScrExecuteHostCommand(const std::string& line);
bool ScrExecuteMenuStatement(const std::string& line);
// True when `s` begins with `prefix`.
inline bool ScrStarts(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
// Blanks trimmed at both ends.
std::string ScrTrim(const std::string& s);
