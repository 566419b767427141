// The platform layer on Windows, through the C runtime's descriptors. The
// runtime's text mode would fold CR LF and stop at Ctrl-Z on its own terms:
// every descriptor is switched to binary, and text_stream applies the
// result files' rules. Names arrive as UTF-8 and are opened by their UTF-16
// form, so that no code page stands between a name and its file.
#include "platform.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <initializer_list>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace platform {
namespace {

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// The runtime's handle for a descriptor whose standard handle was missing
// when the process started (-2), or of one not open at all (-1).
bool missing(int fd) {
  const intptr_t h = _get_osfhandle(fd);
  return h == -1 || h == -2;
}

// Windows refuses a path whose full form, the current directory included,
// has MAX_PATH characters or more, unless that full form is given with the
// \\?\ prefix, which has no limit on any Windows and needs no long-path
// setting. Such a path is opened that way; a shorter one as it was given.
// The full form already has what the prefix would skip done: . and .. are
// resolved and / is \.
std::wstring long_form(std::wstring path) {
  if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);  // the NUL included
  if (length < MAX_PATH - 12) return path;  // 12: room for a directory's 8.3 name, as CreateDirectory wants
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return path;
  full.resize(written);
  // A device (NUL, COM1, and nul.txt on Windows 10) is reached by its name.
  if (full.rfind(L"\\\\.\\", 0) == 0) return path;
  return full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

// -1 with errno EILSEQ for a name that is not UTF-8.
int open_wide(const char* path, int flags) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (length == 0) {
    errno = EILSEQ;
    return -1;
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length);
  wide.pop_back();  // the NUL
  return _wopen(long_form(wide).c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

// A file's identity: its volume's serial number and its index there. ReFS
// numbers files with 128 bits, which only FileIdInfo gives; older systems
// have only the 64-bit index.
struct FileKey {
  std::uint64_t volume = 0;
  unsigned char id[16] = {};
};

bool key_of(int fd, FileKey& key) {
  const HANDLE h = handle_of(fd);
  if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) return false;
  FILE_ID_INFO info;
  if (GetFileInformationByHandleEx(h, FileIdInfo, &info, sizeof info)) {
    key.volume = info.VolumeSerialNumber;
    std::memcpy(key.id, info.FileId.Identifier, sizeof key.id);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION old;
  if (!GetFileInformationByHandle(h, &old)) return false;
  key.volume = old.dwVolumeSerialNumber;
  const std::uint64_t index = std::uint64_t{old.nFileIndexHigh} << 32 | old.nFileIndexLow;
  std::memcpy(key.id, &index, sizeof index);
  return true;
}

// Calls with a bad descriptor fail with errno EBADF, as on POSIX, instead of
// ending the process.
void ignore_invalid_parameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {}

}  // namespace

const char* const kNullDeviceQuoted = "'NUL'";

// A standard handle missing at start reads as -2 or -1 from the runtime. Its
// number is then given NUL, the other way round, so that using it fails with
// EBADF as on POSIX.
bool take_standard_streams(bool closed[3]) {
  _set_invalid_parameter_handler(ignore_invalid_parameter);
  for (int fd : {kStandardInput, kStandardOutput, kStandardError}) {
    closed[fd] = missing(fd);
    if (closed[fd]) {
      const int null = _open("NUL", (fd == kStandardInput ? _O_WRONLY : _O_RDONLY) | _O_BINARY | _O_NOINHERIT);
      if (null < 0) return false;
      if (null != fd && (_dup2(null, fd) != 0 || _close(null) != 0)) return false;
    }
    _setmode(fd, _O_BINARY);
  }
  return true;
}

int open_for_reading(const char* path) { return open_wide(path, _O_RDONLY); }

int open_for_writing(const char* path) { return open_wide(path, _O_WRONLY | _O_CREAT); }

bool open_pipe(int (&ends)[2]) { return _pipe(ends, 64 * 1024, _O_BINARY | _O_NOINHERIT) == 0; }

// The runtime counts bytes in an int.
std::ptrdiff_t read(int fd, void* buffer, std::size_t count) {
  return _read(fd, buffer, static_cast<unsigned>(count < INT_MAX ? count : INT_MAX));
}

std::ptrdiff_t write(int fd, const void* buffer, std::size_t count) {
  return _write(fd, buffer, static_cast<unsigned>(count < INT_MAX ? count : INT_MAX));
}

int close(int fd) { return _close(fd); }

// _isatty is true for NUL and serial ports too: a console is what has a
// console mode.
bool is_console(int fd) {
  DWORD mode;
  return GetConsoleMode(handle_of(fd), &mode) != 0;
}

bool is_disk_file(int fd, std::uint64_t& size) {
  const HANDLE h = handle_of(fd);
  LARGE_INTEGER length;
  if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &length)) return false;
  size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

bool same_file(int a, int b) {
  FileKey first, second;
  return key_of(a, first) && key_of(b, second) && first.volume == second.volume &&
         std::memcmp(first.id, second.id, sizeof first.id) == 0;
}

bool truncate(int fd) {
  const errno_t error = _chsize_s(fd, 0);
  if (error != 0) errno = error;
  return error == 0;
}

// An event that stop() sets. A pipe cannot be waited on with the event, so
// a wait on a pipe asks how many bytes are waiting, and sleeps on the event
// between asks, a little longer each time while the pipe stays silent. A
// disk file never waits; any other device is read as it is.
InputWait::InputWait() {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEvent");
  handles_[0] = reinterpret_cast<std::intptr_t>(event);
  handles_[1] = 0;
}

InputWait::~InputWait() { CloseHandle(reinterpret_cast<HANDLE>(handles_[0])); }

bool InputWait::wait(int fd) {
  const HANDLE stopped = reinterpret_cast<HANDLE>(handles_[0]);
  const HANDLE h = handle_of(fd);
  if (h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_PIPE) {
    for (DWORD pause = 1;; pause = pause < 32 ? 2 * pause : pause) {
      DWORD waiting = 0;
      // A pipe whose writer has gone fails here: the read then finds its end.
      if (!PeekNamedPipe(h, nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0) break;
      if (WaitForSingleObject(stopped, pause) == WAIT_OBJECT_0) return false;
    }
  }
  return WaitForSingleObject(stopped, 0) != WAIT_OBJECT_0;
}

void InputWait::stop() { SetEvent(reinterpret_cast<HANDLE>(handles_[0])); }

}  // namespace platform
