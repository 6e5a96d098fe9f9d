// The one instance of the console's state.

#include "console/console_internal.h"

namespace console::detail {
namespace {

ConsoleState gConsole;

}  // namespace

ConsoleState& TheConsoleState() { return gConsole; }

Console& TheConsole() { return gConsole.console; }

}  // namespace console::detail
