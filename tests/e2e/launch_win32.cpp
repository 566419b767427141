// Test helper for Windows: runs a program with its standard handles set as a Windows parent sets them, which a
// POSIX shell cannot do under wine. --no-stdin, --no-stdout, --no-stderr start it without that handle; --stdin=FILE
// gives it FILE, opened by name, as standard input; --hold=FILE keeps FILE open, shared with no one, while it runs.
// Usage: launch [OPTION]... PROGRAM [ARGUMENT]...
// Exits with the program's status, 125 if it cannot be started.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE handles[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
  int i = 1;
  for (; i < argc && std::wstring(argv[i]).rfind(L"--", 0) == 0; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--no-stdin") handles[0] = nullptr;
    if (option == L"--no-stdout") handles[1] = nullptr;
    if (option == L"--no-stderr") handles[2] = nullptr;
    if (option.rfind(L"--stdin=", 0) == 0)
      handles[0] = CreateFileW(option.c_str() + 8, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                               OPEN_EXISTING, 0, nullptr);
    if (option.rfind(L"--hold=", 0) == 0)
      CreateFileW(option.c_str() + 7, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  std::wstring command;
  for (; i < argc; ++i) command += L"\"" + std::wstring(argv[i]) + L"\" ";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = handles[0];
  start.hStdOutput = handles[1];
  start.hStdError = handles[2];
  PROCESS_INFORMATION process;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process))
    return 125;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 125;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
