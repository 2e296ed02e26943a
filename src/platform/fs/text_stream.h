// TextStream: a text file opened by the file-system object, for reading or for writing. Text is
// handled as bytes: reading returns the file's bytes unchanged (single-byte text; UTF-8 files come
// out as their UTF-8 bytes), writing writes the bytes given. Lines end with CR LF when written;
// when read, a line ends at LF, CR LF or CR. Not thread-safe. The file is closed by Close or by
// destruction.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace fso {

class TextStream {
 public:
  enum class Mode { kRead, kWrite };

  // Takes ownership of the open `file`.
  TextStream(std::FILE* file, Mode mode, std::string path);
  ~TextStream();  // Close(), logging nothing and throwing nothing
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;

  // Reading. ReadAll returns the rest of the file; ReadLine the next line without its end;
  // SkipLine passes over one. Throw std::runtime_error on a read error, or ReadLine/SkipLine at
  // the end of the file, or on a stream opened for writing.
  std::string ReadAll();
  std::string ReadLine();
  void SkipLine();
  bool AtEndOfStream();

  // Writing. Write appends `text`; WriteLine appends `text` and CR LF. Throw std::runtime_error on
  // a write error (a full disk included) or on a stream opened for reading.
  void Write(std::string_view text);
  void WriteLine(std::string_view text);

  // Flushes and closes. Throws std::runtime_error when the data cannot be written out (so that a
  // caller never reports success for a file that is not complete). Does nothing when closed.
  void Close();

 private:
  struct CloseFile {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, CloseFile> file_;
  Mode mode_;
  std::string path_;
};

}  // namespace fso
