#include "wap/framework/request_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/host/request.h"
#include "platform/host/response.h"

namespace wap {
namespace {

using Pairs = std::vector<host::Collection::Pair>;

TEST(RequestFilter, EndsTheResponseAtAWholeKeywordValue) {
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
    const host::Request request(host::Collection("", c.query), host::Collection("", c.form),
                                host::Collection(), {});
    host::Response response;
    const std::string what = (c.query.empty() ? c.form : c.query).back().second;
    EXPECT_EQ(FilterRequest(request, response), c.hit) << what;
    EXPECT_EQ(response.Ended(), c.hit) << what;
    EXPECT_EQ(response.Body(), "") << what;
  }
}

}  // namespace
}  // namespace wap
