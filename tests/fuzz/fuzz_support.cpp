#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/halt.h"

namespace fuzz {

namespace {

struct Scratch {
  std::string path;
  Scratch() {
    char tmpl[] = "/tmp/noctra-fuzz-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    if (!made) std::abort();
    path = std::string(made) + "/";
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// Answers every message box with its default and records nothing, so a
// long run does not grow.
class QuietDialogs : public platform::IDialogs {
 public:
  int MessageBox(const std::string&, const std::string&, platform::MsgButtons buttons,
                 platform::MsgIcon) override {
    return platform::DefaultResult(buttons);
  }
  platform::FileDialogResult FileDialog(const platform::FileDialogOptions&) override { return {}; }
  bool BrowseForFolder(const std::string&, std::string&) override { return false; }
  bool ChooseColor(uint32_t&) override { return false; }
  bool ChooseFont(platform::FontChoice&) override { return false; }
};

}  // namespace

const std::string& ScratchDir() {
  static Scratch scratch;
  return scratch.path;
}

std::string WriteScratch(const std::string& name, const uint8_t* data, std::size_t size) {
  const std::string path = ScratchDir() + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (size) out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  return path;
}

std::string WriteScratch(const std::string& name, std::string_view bytes) {
  return WriteScratch(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void InstallQuietPlatform() {
  static QuietDialogs dialogs;
  static bool installed = false;
  if (installed) return;
  installed = true;
  platform::SetDialogs(&dialogs);
  platform::InstallThrowingHaltForTest();
}

std::string_view Part(std::string_view input, int index) {
  constexpr std::string_view kSep = "\n@@\n";
  for (int i = 0; i < index; ++i) {
    const std::size_t p = input.find(kSep);
    if (p == std::string_view::npos) return {};
    input.remove_prefix(p + kSep.size());
  }
  const std::size_t p = input.find(kSep);
  return p == std::string_view::npos ? input : input.substr(0, p);
}

double DoubleAt(const uint8_t* data, std::size_t size, std::size_t offset) {
  if (size < offset + 8) return 0;
  double v;
  std::memcpy(&v, data + offset, 8);
  return v;
}

}  // namespace fuzz
