#include "shell/data_files.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>

#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/paths.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "shell/messages.h"

namespace {

constexpr const char* kObjectDatabase = "Objects.sqlite";
constexpr const char* kBuilder = "noctra-mkdata";

std::mutex g_mutex;
bool g_held = false;
std::vector<TDataFileProblem> g_gathered;
std::set<std::string> g_told;

void ShowProblems(const std::vector<TDataFileProblem>& problems) {
  if (problems.empty()) return;
  platform::ShowMessageBox(DataFileProblemText(problems), kProductCaption, platform::MsgButtons::Ok,
                           platform::MsgIcon::Exclamation);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The file names of a list: "a", "a" and "b", or "a", "b" and "c".
std::string NameList(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + Quoted(names[i]);
  return text;
}

// The data builder: beside the program, or in the build tree's data folder
// a level or two above it (build/app/noctra, build/data/noctra-mkdata), or
// else by its name on the search path.
std::string BuilderPath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    std::filesystem::path dir = exe.parent_path();
    for (int up = 0; up < 3 && !dir.empty(); ++up, dir = dir.parent_path()) {
      for (const auto& candidate : {dir / kBuilder, dir / "data" / kBuilder})
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
      if (dir == dir.root_path()) break;
    }
  }
  return kBuilder;
}

}  // namespace

std::string ByteCountText(uint64_t bytes) {
  std::string digits = std::to_string(bytes);
  for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(std::size_t(i), ",");
  return digits + (bytes == 1 ? " byte" : " bytes");
}

std::string WholeRecordsReason(uint64_t bytes, int recordBytes) {
  if (recordBytes <= 0 || bytes % uint64_t(recordBytes) == 0) return std::string();
  return ByteCountText(bytes) + " is not a whole number of " + std::to_string(recordBytes) +
         "-byte records (the file was cut short or written over)";
}

namespace {

std::string OpenReason(int error, const std::string& why) { return error == ENOENT ? kDataFileMissing : why; }

}  // namespace

std::FILE* OpenDataFileToRead(const std::string& path, std::string& reason) {
  std::string why;
  std::FILE* f = platform::OpenDataFile(path, &why);
  reason = f ? std::string() : OpenReason(errno, why);
  return f;
}

std::optional<std::vector<uint8_t>> ReadDataFileWhole(const std::string& path, std::string& reason) {
  std::string why;
  auto bytes = platform::ReadDataFileBytes(path, &why);
  reason = bytes ? std::string() : OpenReason(errno, why);
  return bytes;
}

void ReportDataFileProblem(int16_t code, const std::string& file, const std::string& reason) {
  ReportDataFileProblems({{code, file, reason}});
}

void ReportDataFileProblems(const std::vector<TDataFileProblem>& problems) {
  std::vector<TDataFileProblem> show;
  for (const TDataFileProblem& p : problems) {
    LogLines().AddLine("[Data] " + DataFileProblemLine(p) + " (" + DataFolder + ")");
    std::lock_guard lock(g_mutex);
    if (!g_told.insert(p.file).second) continue;
    if (g_held) g_gathered.push_back(p);
    else show.push_back(p);
  }
  if (show.empty()) return;
  if (platform::IsGuiThread()) ShowProblems(show);
  else platform::PostToGuiThread([show] { ShowProblems(show); });
}

void HoldDataFileProblems() {
  std::lock_guard lock(g_mutex);
  g_held = true;
  g_gathered.clear();
  g_told.clear();
}

std::vector<TDataFileProblem> TakeHeldDataFileProblems() {
  std::lock_guard lock(g_mutex);
  g_held = false;
  std::vector<TDataFileProblem> out;
  out.swap(g_gathered);
  return out;
}

void ReleaseDataFileProblems() { ShowProblems(TakeHeldDataFileProblems()); }

bool DataFileProblemTold(const std::string& file) {
  std::lock_guard lock(g_mutex);
  return g_told.count(file) != 0;
}

bool DataFileRefusedAccess(const TDataFileProblem& p) { return p.reason.rfind(kDataFileNoPermission, 0) == 0; }

bool DataFileNotAFile(const TDataFileProblem& p) { return platform::IsNotAFileReason(p.reason); }

std::string DataFileProblemLine(const TDataFileProblem& p) {
  return ErrorMessageText(p.code) + Quoted(p.file) + (p.reason.empty() ? "" : ": " + p.reason) + ".";
}

std::string DataBuilderCommand() {
  std::string folder = DataFolder.empty() ? platform::CurrentFolder() : DataFolder;
  folder = platform::AbsoluteFolder(folder);
  return Quoted(BuilderPath()) + " " + Quoted(folder);
}

namespace {

// "To rebuild it, close Noctra Planetarium, delete "a" and run the data
// builder ...:" and the builder's command on a line of its own.
// A file this user may not open is sound: rebuilding it would only hide
// what it holds (the catalogues imported into the object database). What
// to do about the access is said instead, and the rebuild only of the rest.
std::string RebuildText(const std::vector<TDataFileProblem>& problems, bool closeFirst) {
  std::vector<std::string> remove, keep, refused;
  bool rebuild = false;
  for (const TDataFileProblem& p : problems) {
    if (DataFileRefusedAccess(p)) {
      refused.push_back(p.file);
      continue;
    }
    rebuild = true;
    if (p.reason == kDataFileMissing) continue;
    // Only the database itself holds imported catalogues; what stands in
    // its place does not.
    (p.file == kObjectDatabase && !DataFileNotAFile(p) ? keep : remove).push_back(p.file);
  }
  std::string access;
  if (!refused.empty()) {
    std::string folder = DataFolder.empty() ? platform::CurrentFolder() : DataFolder;
    folder = platform::AbsoluteFolder(folder);
    access = "Give your user the right to read and write " + NameList(refused) + " and the folder that holds " +
             (refused.size() == 1 ? "it" : "them") + " (" + Quoted(folder) + "), then start Noctra Planetarium again.";
    if (!rebuild) return access;
    access += "\r\n";
  }
  std::vector<std::string> steps;
  if (closeFirst) steps.push_back("close Noctra Planetarium");
  if (!remove.empty()) steps.push_back("delete " + NameList(remove));
  if (!keep.empty())
    steps.push_back("move " + Quoted(kObjectDatabase) + " aside (the catalogues you imported are kept in it)");
  steps.push_back("run the data builder on the data folder, as run.sh does before it starts the program:");
  const bool one = problems.size() - refused.size() == 1;
  std::string text = access + (refused.empty() ? "To rebuild " : "To rebuild the others") +
                     (refused.empty() ? std::string(one ? "it" : "them") : std::string()) + ", ";
  for (std::size_t i = 0; i < steps.size(); ++i)
    text += (i == 0 ? "" : i + 1 == steps.size() ? " and " : ", ") + steps[i];
  return text + "\r\n" + DataBuilderCommand();
}

}  // namespace

std::string DataFileProblemText(const std::vector<TDataFileProblem>& problems, bool programEnds) {
  std::string text;
  bool damaged = false;
  for (const TDataFileProblem& p : problems) {
    text += DataFileProblemLine(p) + "\r\n";
    damaged = damaged || p.reason != kDataFileMissing;
  }
  const bool one = problems.size() == 1;
  text += "\r\n";
  if (!programEnds)
    text += "The program goes on without what " + std::string(one ? "this file holds" : "these files hold") +
            (damaged ? std::string(" and leaves ") + (one ? "it as it is" : "them as they are") : std::string()) + ". ";
  return text + RebuildText(problems, !programEnds);
}

void ShowMissingStartupFile(int16_t code, const std::string& file, const std::string& reason) {
  const TDataFileProblem missing{102, file, reason};
  LogLines().AddLine("[Data] " + DataFileProblemLine(missing) + " (" + DataFolder + ")");
  {
    std::lock_guard lock(g_mutex);
    g_told.insert(file);
  }
  const std::string why = reason == kDataFileMissing ? std::string() : ": " + reason + ".";
  platform::ShowMessageBox(ErrorMessageText(code) + Quoted(file) + why + "\r\n\r\n" + RebuildText({missing}, true),
                           kProductCaption, platform::MsgButtons::Ok, ErrorMessageIcon(code));
}

void ForgetDataFileProblemsForTest() {
  std::lock_guard lock(g_mutex);
  g_held = false;
  g_gathered.clear();
  g_told.clear();
}
