#include "wap/framework/page_context.h"

#include <stdexcept>
#include <utility>

namespace wap {

thread_local PageContext* PageContext::current_ = nullptr;

PageContext& PageContext::Current() {
  if (current_ == nullptr) {
    throw std::logic_error("no page context is installed on this thread");
  }
  return *current_;
}

bool PageContext::HasCurrent() { return current_ != nullptr; }

PageContextScope::PageContextScope(PageContext& context)
    : previous_(std::exchange(PageContext::current_, &context)) {}

PageContextScope::~PageContextScope() { PageContext::current_ = previous_; }

}  // namespace wap
