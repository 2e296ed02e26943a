#include "wap/objects.h"

#include <utility>

#include "platform/text/ascii.h"
#include "wap/admin/adminmanage.h"
#include "wap/member/checklogin.h"
#include "wap/member/logout.h"
#include "wap/pages/lyb.h"
#include "wap/pages/main.h"
#include "wap/pages/newslist.h"
#include "wap/pages/productlist.h"
#include "wap/pages/showcontent.h"
#include "wap/pages/shownews.h"

namespace wap {
namespace {

template <typename T>
std::unique_ptr<host::HostObject> Make() {
  return std::make_unique<T>();
}

using Maker = std::unique_ptr<host::HostObject> (*)();

// The component's classes by their published names.
constexpr std::pair<std::string_view, Maker> kClasses[] = {
    {"main", &Make<HomePage>},
    {"newslist", &Make<NewsListPage>},
    {"showcontent", &Make<ContentPage>},
    {"shownews", &Make<ArticlePage>},
    {"productlist", &Make<ProductListPage>},
    {"lyb", &Make<GuestbookPage>},
    {"checklogin", &Make<MemberLoginPage>},
    {"logout", &Make<MemberLogoutPage>},
    // administration:
    {"adminmanage", &Make<AdminManage>},
};

}  // namespace

std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name) {
  for (const auto& [name, make] : kClasses) {
    if (text::EqualsIgnoreCase(name, class_name)) return make();
  }
  return nullptr;
}

}  // namespace wap
