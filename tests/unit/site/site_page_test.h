// A fixture that renders the surrounding site's page objects (site.login, site.newly) through the
// in-memory host and checks their markup: WML valid against the WML 1.1 DTD, XHTML well-formed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "site/objects.h"
#include "unit/wap/page_test.h"

namespace site::site_test {

using testing_support::kWmlAccept;
using testing_support::kXhtmlAccept;
using testing_support::PageHarness;
using testing_support::PageRequest;
using testing_support::Pairs;
using wap::page_test::HomeLink;

class SitePageTest : public ::testing::Test {
 protected:
  host::Response Run(std::string_view class_name, const Pairs& query,
                     std::string_view accept = kWmlAccept, const Pairs& form = {}) {
    const std::unique_ptr<host::HostObject> page = CreateObject(class_name);
    if (!page) throw std::logic_error("no page class " + std::string(class_name));
    return h_.Run(*page, PageRequest{query, form, std::string(accept)});
  }

  // Runs the page; expects status 200 and a valid page of the markup `accept` asks for.
  std::string Render(std::string_view class_name, const Pairs& query,
                     std::string_view accept = kWmlAccept, const Pairs& form = {}) {
    const host::Response r = Run(class_name, query, accept, form);
    EXPECT_EQ(r.Status(), 200);
    EXPECT_FALSE(r.Ended());
    if (accept.find("wml") != std::string_view::npos) {
      EXPECT_TRUE(testing_support::ValidWml(r.Body()));
    } else {
      EXPECT_TRUE(testing_support::WellFormedXml(r.Body()));
    }
    return r.Body();
  }

  PageHarness h_;
};

}  // namespace site::site_test
