// floatdump._floatdump: the library's two conversions and the command, for
// the package python/floatdump, which gives them their Python shape
// (exceptions, warnings). A conversion runs with the GIL released; it is
// taken back only to call a Python file object, once per block.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command.h"
#include "floatdump/floatdump.h"

namespace py = pybind11;

namespace {

// The memory of a bytes-like object (bytes, bytearray, memoryview, mmap),
// held and kept from resizing while a conversion reads it.
class Bytes {
 public:
  explicit Bytes(py::handle object) {
    if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  }
  ~Bytes() { PyBuffer_Release(&view_); }
  Bytes(const Bytes&) = delete;
  Bytes& operator=(const Bytes&) = delete;
  std::string_view text() const { return {static_cast<const char*>(view_.buf), static_cast<std::size_t>(view_.len)}; }

 private:
  Py_buffer view_;
};

// A binary file object read a block at a time: readinto1 where it has one (a
// buffered stream then returns what has come instead of waiting to fill the
// block), else readinto, else read. None from a non-blocking source that has
// nothing is a failed read.
class FileInput final : public floatdump::Input {
 public:
  explicit FileInput(py::handle source) {
    for (const char* name : {"readinto1", "readinto"}) {
      if (py::hasattr(source, name)) {
        readinto_ = source.attr(name);
        return;
      }
    }
    read_ = source.attr("read");
  }

  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    py::gil_scoped_acquire locked;
    if (readinto_) {
      // Into a bytearray of its own, then copied: a view of the conversion's
      // buffer could outlive it, kept by the source or by a traceback.
      const py::bytearray block(nullptr, size);
      const py::object got = readinto_(block);
      if (got.is_none()) return -1;
      const std::size_t n = counted(got.cast<std::size_t>(), std::min(size, block.size()));
      std::memcpy(buffer, PyByteArray_AS_STRING(block.ptr()), n);
      return static_cast<std::ptrdiff_t>(n);
    }
    const py::object got = read_(size);
    if (got.is_none()) return -1;
    const Bytes bytes(got);
    std::memcpy(buffer, bytes.text().data(), counted(bytes.text().size(), size));
    return static_cast<std::ptrdiff_t>(bytes.text().size());
  }

  // Whether a read would wait is more than a Python file object can tell:
  // what is converted is handed to the sink before each read, so that the
  // lines of a live source reach it as they come. A file's reads are full
  // blocks, so that costs about one write a block.
  bool ready() override { return false; }

 private:
  static std::size_t counted(std::size_t got, std::size_t size) {
    if (got > size) throw py::value_error("the source gave more bytes than were asked for");
    return got;
  }

  py::object readinto_, read_;
};

// A binary file object written a block at a time, each block as bytes of
// its own, which the sink may keep. A write returning a count takes that
// many bytes, the rest is written again; None, as shutil.copyfileobj
// assumes, takes them all; 0 took nothing and fails as EIO.
class FileOutput final : public floatdump::Output {
 public:
  explicit FileOutput(py::handle sink) : write_(sink.attr("write")) {}

  int write(const char* data, std::size_t size) override {
    py::gil_scoped_acquire locked;
    while (size > 0) {
      const py::object took = write_(py::bytes(data, size));
      if (took.is_none()) return 0;
      const auto count = took.cast<std::size_t>();
      if (count == 0) return EIO;
      if (count > size) throw py::value_error("the sink took more bytes than it was given");
      data += count;
      size -= count;
    }
    return 0;
  }

 private:
  py::object write_;
};

// Diagnostics: kept whole for the caller, and written to a file object as
// each arises when there is one.
class Diagnostics final : public floatdump::Output {
 public:
  explicit Diagnostics(py::handle file) {
    if (!file.is_none()) file_.emplace(file);
  }
  int write(const char* data, std::size_t size) override {
    text_.append(data, size);
    return file_ ? file_->write(data, size) : 0;
  }
  const std::string& text() const { return text_; }

 private:
  std::optional<FileOutput> file_;
  std::string text_;
};

// Bytes held in memory, read from the first on.
class MemoryInput final : public floatdump::Input {
 public:
  explicit MemoryInput(std::string_view bytes) : rest_(bytes) {}
  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    const std::size_t n = rest_.copy(buffer, size);
    rest_.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string_view rest_;
};

// The converted text written straight into the bytes object that convert
// returns: each of its pages is touched once, with no string growing by
// copies and no copy at the end; for 200 MB that is most of the time a
// conversion takes. Room not yet written costs no memory, so it starts
// large. Growing takes the GIL; realloc grows blocks this large in place.
class BytesOutput final : public floatdump::Output {
 public:
  explicit BytesOutput(std::size_t capacity)
      : bytes_(PyBytes_FromStringAndSize(nullptr, static_cast<py::ssize_t>(capacity))), capacity_(capacity) {
    if (!bytes_) throw py::error_already_set();
  }
  ~BytesOutput() override { Py_XDECREF(bytes_); }
  BytesOutput(const BytesOutput&) = delete;
  BytesOutput& operator=(const BytesOutput&) = delete;

  int write(const char* data, std::size_t size) override {
    if (size > capacity_ - used_) resize(std::max(used_ + size, capacity_ + capacity_ / 2));
    std::memcpy(PyBytes_AS_STRING(bytes_) + used_, data, size);
    used_ += size;
    return 0;
  }

  // The bytes written; with the GIL held.
  py::bytes take() {
    resize(used_);
    return py::reinterpret_steal<py::bytes>(std::exchange(bytes_, nullptr));
  }

 private:
  // Throws MemoryError, which ends the conversion, when memory has run out.
  void resize(std::size_t capacity) {
    py::gil_scoped_acquire locked;
    if (_PyBytes_Resize(&bytes_, static_cast<py::ssize_t>(capacity)) != 0) throw py::error_already_set();
    capacity_ = capacity;
  }

  PyObject* bytes_;
  std::size_t capacity_, used_ = 0;
};

// (output, diagnostics, status, message) of converting `data`.
py::tuple convert(py::handle data) {
  const Bytes input(data);
  MemoryInput in(input.text());
  BytesOutput out(input.text().size() + input.text().size() / 2 + 64 * 1024);
  Diagnostics messages{py::none()};
  floatdump::Outcome outcome;
  {
    py::gil_scoped_release unlocked;
    outcome = floatdump::convert(in, out, messages);
  }
  return py::make_tuple(out.take(), py::bytes(messages.text()), outcome.status, outcome.message);
}

// (diagnostics, status, message) of converting what `source` gives to `sink`.
py::tuple convert_stream(py::handle source, py::handle sink, py::handle diagnostics) {
  FileInput in(source);
  FileOutput out(sink);
  Diagnostics messages(diagnostics);
  floatdump::Outcome outcome;
  {
    py::gil_scoped_release unlocked;
    outcome = floatdump::convert(in, out, messages);
  }
  return py::make_tuple(py::bytes(messages.text()), outcome.status, outcome.message);
}

// The floatdump command run on `arguments`, argv[0] first; its exit status.
int command(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  py::gil_scoped_release unlocked;  // it may wait long for standard input
  return floatdump_main(static_cast<int>(arguments.size()), argv.data());
}

}  // namespace

PYBIND11_MODULE(_floatdump, module) {
  module.doc() = "The native part of floatdump; use the package floatdump.";
  module.def("version", &floatdump::version);
  module.def("convert", &convert, py::arg("data"));
  module.def("convert_stream", &convert_stream, py::arg("source"), py::arg("sink"), py::arg("diagnostics"));
  module.def("command", &command, py::arg("argv"));
}
