// Shared pieces of the page tests: a fixture that renders a page object through the in-memory host
// and checks its markup, and a page object whose body a test supplies.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/host/response.h"
#include "support/markup_check.h"
#include "support/page_harness.h"
#include "unit/wap/expected_page.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/page_object.h"
#include "wap/objects.h"

namespace wap::page_test {

using testing_support::kWmlAccept;
using testing_support::kXhtmlAccept;
using testing_support::PageHarness;
using testing_support::PageRequest;
using testing_support::Pairs;

// A page object whose body is a test's function, run after a successful InitPage.
class ScriptedPage : public PageObject {
 public:
  explicit ScriptedPage(std::function<void()> body = {}) : body_(std::move(body)) {}
  bool set_up = false;

 protected:
  void StartPage(host::ScriptingContext& context) override {
    set_up = InitPage(context);
    if (set_up && body_) body_();
  }

 private:
  std::function<void()> body_;
};

class PageTest : public ::testing::Test {
 protected:
  // Renders the page object `class_name` for `query` (and `form`) with the Accept header `accept`;
  // expects status 200 and a valid page (WML against the DTD, XHTML well-formed).
  std::string Render(std::string_view class_name, const Pairs& query,
                     std::string_view accept = kWmlAccept, const Pairs& form = {}) {
    const host::Response r = Run(class_name, query, accept, form);
    EXPECT_EQ(r.Status(), 200);
    if (accept.find("wml") != std::string_view::npos) {
      EXPECT_TRUE(testing_support::ValidWml(r.Body()));
    } else {
      EXPECT_TRUE(testing_support::WellFormedXml(r.Body()));
    }
    return r.Body();
  }

  host::Response Run(std::string_view class_name, const Pairs& query,
                     std::string_view accept = kWmlAccept, const Pairs& form = {}) {
    const std::unique_ptr<host::HostObject> page = CreateObject(class_name);
    if (!page) throw std::logic_error("no page class " + std::string(class_name));
    return h_.Run(*page, PageRequest{query, form, std::string(accept)});
  }

  // Expects the page `class_name` for `query` to be exactly the frame with `title` around `body`,
  // in both markups, for the site folder `username`.
  void ExpectPage(std::string_view class_name, const Pairs& query, std::string_view title,
                  std::string_view username, std::string_view body, std::string_view domain = "") {
    EXPECT_EQ(Render(class_name, query, kWmlAccept), WmlPage(title, username, body, domain));
    EXPECT_EQ(Render(class_name, query, kXhtmlAccept), XhtmlPage(title, username, body, domain));
  }

  PageHarness h_;
};

}  // namespace wap::page_test
