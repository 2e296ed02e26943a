#include "wap/framework/request_filter.h"

#include <gtest/gtest.h>

#include "unit/wap/page_test.h"

namespace wap::page_test {
namespace {

class RequestFilter : public PageTest {
 protected:
  // Runs a page that would query the database for `query` and `form`.
  host::Response RunQuerying(const Pairs& query, const Pairs& form = {}) {
    ScriptedPage page([] {
      PageContext& c = PageContext::Current();
      c.recordset->Open("select * from wap_classes", *c.connection);
      c.recordset->Eof();  // the statement runs when first read
    });
    host::Response r = h_.Run(page, PageRequest{query, form});
    set_up_ = page.set_up;
    return r;
  }
  bool set_up_ = false;
};

TEST_F(RequestFilter, EndsTheRequestAtAWholeKeywordValue) {
  const struct {
    Pairs query;
    Pairs form;
    bool hit;
  } cases[] = {
      {{{"userid", "5"}, {"username", "a"}, {"siteid", "1"}}, {}, false},
      {{{"q", "select"}}, {}, true},
      {{{"q", "SeLeCt"}}, {}, true},
      {{}, {{"name", "'"}}, true},
      {{}, {{"name", "abc'def"}}, false},
      {{{"q", "1 and 1=1"}}, {}, false},
      {{{"q", "it's"}}, {}, false},
      {{{"select", "x"}}, {}, false},  // keys are not examined
      {{{"a", "1"}, {"b", "%"}}, {}, true},
      {{{"a", ";"}}, {}, true},
      {{{"a", "*"}}, {}, true},
      {{{"a", "DECLARE"}}, {}, true},
      {{{"a", "char"}}, {}, true},
      {{{"a", "chars"}}, {}, false},
      {{{"a", " select"}}, {}, false},
      {{{"a", "杰"}}, {}, false},  // the separator is no keyword
      {{{"a", ""}}, {}, false},
  };
  for (const auto& c : cases) {
    const host::Response r = RunQuerying(c.query, c.form);
    const std::string what =
        testing_support::FormText(c.query) + " | " + testing_support::FormText(c.form);
    EXPECT_EQ(r.Ended(), c.hit) << what;
    if (c.hit) {
      EXPECT_EQ(r.Body(), "") << what;
      EXPECT_FALSE(set_up_) << what;
      EXPECT_TRUE(h_.Statements().empty()) << what;
      // The headers set before the filter are the only output.
      EXPECT_EQ(r.CacheControl(), "no-cache");
    } else {
      EXPECT_EQ(h_.Statements().size(), 1u) << what;
    }
  }
}

TEST_F(RequestFilter, AHitLoadsNoSettings) {
  RunQuerying({{"q", "exec"}});
  EXPECT_FALSE(h_.App().Get("strDBName").has_value());
}

}  // namespace
}  // namespace wap::page_test
