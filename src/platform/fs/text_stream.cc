#include "platform/fs/text_stream.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace fso {
namespace {

std::runtime_error StreamError(std::string_view what, const std::string& path, int error) {
  std::string message(what);
  message.append(" '").append(path).append("'");
  if (error != 0) message.append(": ").append(std::strerror(error));
  return std::runtime_error(message);
}

}  // namespace

TextStream::TextStream(std::FILE* file, Mode mode, std::string path)
    : file_(file), mode_(mode), path_(std::move(path)) {}

// The deleter closes a stream that is still open; its errors cannot be reported from here, which is
// why writers call Close() themselves.
TextStream::~TextStream() = default;

std::string TextStream::ReadAll() {
  if (!file_ || mode_ != Mode::kRead) throw StreamError("not open for reading:", path_, 0);
  std::string text;
  char buffer[8192];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file_.get());
    text.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  if (std::ferror(file_.get())) throw StreamError("cannot read", path_, errno);
  return text;
}

std::string TextStream::ReadLine() {
  if (!file_ || mode_ != Mode::kRead) throw StreamError("not open for reading:", path_, 0);
  std::FILE* f = file_.get();
  std::string line;
  int c = std::getc(f);
  if (c == EOF) {
    if (std::ferror(f)) throw StreamError("cannot read", path_, errno);
    throw StreamError("read past the end of", path_, 0);
  }
  for (; c != EOF; c = std::getc(f)) {
    if (c == '\n') return line;
    if (c == '\r') {
      const int next = std::getc(f);
      if (next != '\n' && next != EOF) std::ungetc(next, f);
      break;
    }
    line.push_back(static_cast<char>(c));
  }
  if (std::ferror(f)) throw StreamError("cannot read", path_, errno);
  return line;
}

void TextStream::SkipLine() { (void)ReadLine(); }

bool TextStream::AtEndOfStream() {
  if (!file_ || mode_ != Mode::kRead) throw StreamError("not open for reading:", path_, 0);
  std::FILE* f = file_.get();
  const int c = std::getc(f);
  if (c == EOF) {
    if (std::ferror(f)) throw StreamError("cannot read", path_, errno);
    return true;
  }
  std::ungetc(c, f);
  return false;
}

void TextStream::Write(std::string_view text) {
  if (!file_ || mode_ != Mode::kWrite) throw StreamError("not open for writing:", path_, 0);
  if (text.empty()) return;
  errno = 0;
  const std::size_t n = std::fwrite(text.data(), 1, text.size(), file_.get());
  if (n != text.size() || std::ferror(file_.get())) {
    throw StreamError("cannot write", path_, errno);
  }
}

void TextStream::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void TextStream::Close() {
  if (!file_) return;
  std::FILE* f = file_.release();
  if (mode_ == Mode::kWrite) {
    errno = 0;
    const bool failed_before = std::ferror(f) != 0;
    const bool flush_failed = std::fflush(f) != 0;
    const int flush_error = errno;
    const bool close_failed = std::fclose(f) != 0;
    const int close_error = errno;
    if (failed_before || flush_failed) throw StreamError("cannot write", path_, flush_error);
    if (close_failed) throw StreamError("cannot close", path_, close_error);
    return;
  }
  std::fclose(f);
}

}  // namespace fso
