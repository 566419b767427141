// The platform layer on Windows, through the C runtime's descriptors. The
// runtime's text mode would fold CR LF and stop at Ctrl-Z on its own terms:
// every descriptor is switched to binary, and text_stream applies the
// result files' rules. Names arrive as UTF-8 and are opened by their UTF-16
// form, so that no code page stands between a name and its file; messages
// reach a console as UTF-16 for the same reason.
#include "platform.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
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

// Which standard streams had no handle when the command started. Their
// numbers hold NUL, opened the other way round, which the runtime would
// report as "Access is denied": reading or writing them fails here as on
// the missing handle.
bool missing_at_start[3];

bool missing_at_start_of(int fd) { return fd >= 0 && fd < 3 && missing_at_start[fd]; }

// -1, with Windows' own code of a failure in errno (see platform.h).
int failed(DWORD code) {
  errno = -static_cast<int>(code);
  return -1;
}

// A call of the C runtime: where it fails in the system, the runtime puts
// the system's code in _doserrno and leaves it 0 when it refuses the call
// itself. That code, where there is one, replaces the runtime's errno.
template <typename Call>
auto through_runtime(Call call) {
  _doserrno = 0;
  const auto result = call();
  if (result < 0 && _doserrno != 0) failed(_doserrno);
  return result;
}

// Empty for text that is not UTF-8 when `flags` is MB_ERR_INVALID_CHARS;
// otherwise each byte that is not part of a character becomes U+FFFD.
std::wstring utf16(std::string_view text, DWORD flags = 0) {
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
  const int length = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length);
  return wide;
}

std::string utf8(std::wstring_view wide) {
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
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
  const std::wstring wide = utf16(path, MB_ERR_INVALID_CHARS);
  if (wide.empty() && *path) {
    errno = EILSEQ;
    return -1;
  }
  return through_runtime([&] {
    return _wopen(long_form(wide).c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  });
}

// The length of `text` without a character that its end cuts short.
std::size_t whole_characters(std::string_view text) {
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const unsigned char c = static_cast<unsigned char>(text[text.size() - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: its character starts further back
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
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
const char* const kFullDocumentation = "floatdump.html, beside floatdump.exe";
const char* const kHelpSwitch = "/?";

// A plain errno keeps the runtime's text; but a standard stream closed at
// start is reported in the system's words, as the missing handle it is.
std::string reason(int error) {
  const DWORD code = error < 0 ? static_cast<DWORD>(-error) : error == EBADF ? ERROR_INVALID_HANDLE : 0;
  if (code == 0) return std::strerror(error);
  wchar_t* text = nullptr;
  // MAX_WIDTH_MASK: the message's own line breaks become blanks.
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0) return "Unknown error " + std::to_string(code);
  std::wstring words(text, length);
  LocalFree(text);
  std::replace_if(words.begin(), words.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
  while (!words.empty() && words.back() == L' ') words.pop_back();
  if (!words.empty() && words.back() == L'.') words.pop_back();
  return utf8(words);
}

// A standard handle missing at start reads as -2 or -1 from the runtime. Its
// number is then given NUL, the other way round, and using it fails with
// ERROR_INVALID_HANDLE.
bool take_standard_streams(bool closed[3]) {
  _set_invalid_parameter_handler(ignore_invalid_parameter);
  for (int fd : {kStandardInput, kStandardOutput, kStandardError}) {
    closed[fd] = missing_at_start[fd] = missing(fd);
    if (closed[fd]) {
      const int null = through_runtime(
          [fd] { return _open("NUL", (fd == kStandardInput ? _O_WRONLY : _O_RDONLY) | _O_BINARY | _O_NOINHERIT); });
      if (null < 0) return false;
      if (null != fd && (through_runtime([&] { return _dup2(null, fd); }) != 0 || close(null) != 0)) return false;
    }
    _setmode(fd, _O_BINARY);
  }
  return true;
}

int open_for_reading(const char* path) { return open_wide(path, _O_RDONLY); }

int open_for_writing(const char* path) { return open_wide(path, _O_WRONLY | _O_CREAT); }

bool open_pipe(int (&ends)[2]) {
  return through_runtime([&] { return _pipe(ends, 64 * 1024, _O_BINARY | _O_NOINHERIT); }) == 0;
}

// The runtime counts bytes in an int.
std::ptrdiff_t read(int fd, void* buffer, std::size_t count) {
  if (missing_at_start_of(fd)) return failed(ERROR_INVALID_HANDLE);
  const auto size = static_cast<unsigned>(std::min<std::size_t>(count, INT_MAX));
  return through_runtime([&] { return _read(fd, buffer, size); });
}

std::ptrdiff_t write(int fd, const void* buffer, std::size_t count) {
  if (missing_at_start_of(fd)) return failed(ERROR_INVALID_HANDLE);
  const auto size = static_cast<unsigned>(std::min<std::size_t>(count, INT_MAX));
  return through_runtime([&] { return _write(fd, buffer, size); });
}

int close(int fd) {
  return through_runtime([fd] { return _close(fd); });
}

// Older consoles fail a WriteConsoleW of much more than 64 KiB: text goes in
// pieces, none ending between the two halves of a surrogate pair.
constexpr std::size_t kConsolePiece = 8192;

std::ptrdiff_t write_readable(int fd, const char* data, std::size_t size, std::string& cut) {
  if (!is_console(fd)) return write(fd, data, size);
  std::string text = cut + std::string(data, size);
  cut = text.substr(whole_characters(text));
  text.resize(text.size() - cut.size());
  const std::wstring wide = utf16(text);
  for (std::size_t done = 0; done < wide.size();) {
    std::size_t piece = std::min(wide.size() - done, kConsolePiece);
    if (piece < wide.size() - done && IS_HIGH_SURROGATE(wide[done + piece - 1])) --piece;
    DWORD written = 0;
    if (!WriteConsoleW(handle_of(fd), wide.data() + done, static_cast<DWORD>(piece), &written, nullptr))
      return failed(GetLastError());
    if (written == 0) return failed(ERROR_WRITE_FAULT);
    done += written;
  }
  return static_cast<std::ptrdiff_t>(size);
}

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
  _doserrno = 0;
  const errno_t error = _chsize_s(fd, 0);
  if (error != 0) errno = _doserrno != 0 ? -static_cast<int>(_doserrno) : error;
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
