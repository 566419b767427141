// The Windows entry point: the arguments arrive as UTF-16 and are handed on
// as UTF-8, whatever the code page, so that any file name reaches the
// platform layer intact.
#include <windows.h>

#include <string>
#include <vector>

#include "command.h"

int wmain(int argc, wchar_t** wide) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string argument(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), length, nullptr, nullptr);
    argument.pop_back();  // the NUL
    arguments.push_back(std::move(argument));
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return floatdump_main(argc, argv.data());
}
