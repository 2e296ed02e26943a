#include "backoffice/page_templates.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/fs/file_stamp.h"

namespace backoffice {
namespace {

using Template = kainjow::mustache::mustache;
using fso::FileStamp;

// Parsed templates ready to render, a few per file. A template object keeps state while it
// renders, so each render borrows one of its own and gives it back after; a file whose stamp
// changed is parsed again and its older copies dropped.
class TemplatePool {
 public:
  struct Borrowed {
    std::unique_ptr<Template> tmpl;
    FileStamp stamp;
  };

  Borrowed Borrow(const std::filesystem::path& file) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) {
      throw std::runtime_error("cannot read the template " + file.string());
    }
    const FileStamp stamp = FileStamp::Of(status);
    {
      const std::lock_guard lock(mutex_);
      auto found = idle_.find(file.native());
      if (found != idle_.end() && found->second.stamp == stamp && !found->second.copies.empty()) {
        Borrowed borrowed{std::move(found->second.copies.back()), stamp};
        found->second.copies.pop_back();
        return borrowed;
      }
    }
    return {Parse(file), stamp};
  }

  void GiveBack(const std::filesystem::path& file, Borrowed borrowed) {
    const std::lock_guard lock(mutex_);
    Idle& idle = idle_[file.native()];
    if (idle.stamp != borrowed.stamp) idle = Idle{borrowed.stamp, {}};
    if (idle.copies.size() < kCopiesPerFile) idle.copies.push_back(std::move(borrowed.tmpl));
  }

 private:
  static constexpr std::size_t kCopiesPerFile = 8;
  struct Idle {
    FileStamp stamp;
    std::vector<std::unique_ptr<Template>> copies;
  };

  static std::unique_ptr<Template> Parse(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the template " + file.string());
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto tmpl = std::make_unique<Template>(source);
    if (!tmpl->is_valid()) {
      throw std::runtime_error("the template " + file.string() +
                               " is not valid: " + tmpl->error_message());
    }
    return tmpl;
  }

  std::mutex mutex_;
  std::unordered_map<std::string, Idle> idle_;  // by path
};

TemplatePool& Pool() {
  static TemplatePool pool;
  return pool;
}

std::string Render(const std::filesystem::path& file, const View& view) {
  TemplatePool::Borrowed borrowed = Pool().Borrow(file);
  std::string text = borrowed.tmpl->render(view);
  if (!borrowed.tmpl->is_valid()) {  // not given back: its error would stay with it
    throw std::runtime_error("the template " + file.string() +
                             " failed: " + borrowed.tmpl->error_message());
  }
  Pool().GiveBack(file, std::move(borrowed));
  return text;
}

}  // namespace

std::string RenderPage(const std::filesystem::path& folder, std::string_view page, View view) {
  view.set("body", Render(folder / (std::string(page) + ".html"), view));
  return Render(folder / "layout.html", view);
}

}  // namespace backoffice
