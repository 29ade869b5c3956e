// Script menu statements: INSERT_MAINMENU, INSERT_MENUITEM, CLEAR_MENUS. The
// menu bar belongs to the host; numbers beyond int are positions not found.
#include "platform/float_to_int.h"

#include "script/runner.h"
#include "script/script_host.h"

bool ScrExecuteMenuStatement(const std::string& line) {
  if (ScrStarts(line, "INSERT_MAINMENU ")) {
    std::string rest = line.substr(16), caption;
    double pos;
    if (!ScrGetNumberArg(rest, pos) || !ScrGetStringArg(rest, caption) || !ScrArgsEnd(rest)) return true;
    int at;
    if (!platform::FloatToInt(pos, at)) return ScriptError(41), true;
    if (int e = ScriptHost().InsertMainMenu(at, caption)) ScriptError(e);
  } else if (ScrStarts(line, "INSERT_MENUITEM ")) {
    std::string rest = line.substr(16), caption, file;
    double menu, pos;
    if (!ScrGetNumberArg(rest, menu) || !ScrGetNumberArg(rest, pos) || !ScrGetStringArg(rest, caption) ||
        !ScrGetStringArg(rest, file) || !ScrArgsEnd(rest))
      return true;
    int m, at;
    if (!platform::FloatToInt(menu, m) || !platform::FloatToInt(pos, at)) return ScriptError(41), true;
    if (int e = ScriptHost().InsertMenuItem(m, at, caption, file)) ScriptError(e);
  } else if (ScrStarts(line, "CLEAR_MENUS")) {
    if (line != "CLEAR_MENUS") ScriptError(3);
    else ScriptHost().ClearMenus();
  } else {
    return false;
  }
  return true;
}
