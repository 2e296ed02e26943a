// What a picture request says of its handset: the WBMP goes only to requests that accept it and
// not the picture's own type; screen widths and reply sizes declared badly are ignored.
#include "backoffice/images/handset_request.h"

#include <gtest/gtest.h>

namespace backoffice::images {
namespace {

TEST(HandsetRequest, WbmpOnlyForRequestsThatAcceptItAndNotThePicturesType) {
  const struct {
    const char* accept;
    bool wbmp;
  } cases[] = {
      {"application/vnd.wap.wmlc, text/vnd.wap.wml, image/vnd.wap.wbmp", true},  // a gateway
      {"text/vnd.wap.wml,IMAGE/VND.WAP.WBMP;level=0", true},
      {"text/html,application/xhtml+xml,image/avif,image/webp,*/*;q=0.8", false},  // a browser
      {"image/vnd.wap.wbmp, image/jpeg", false},
      {"image/vnd.wap.wbmp, image/*;q=0.5", false},
      {"image/vnd.wap.wbmp, */*", false},
      {"image/vnd.wap.wbmp, image/jpeg;q=0", true},  // the own type refused outright
      {"image/vnd.wap.wbmp;q=0.0, text/vnd.wap.wml", false},
      {"image/vnd.wap.wbmp;q=0.001", true},
      {"", false},
      {",,;", false},
  };
  for (const auto& c : cases) EXPECT_EQ(WantsWbmp(c.accept, "image/jpeg"), c.wbmp) << c.accept;
}

TEST(HandsetRequest, ScreenWidthIsTheOneDeclaredWellElseTheDefault) {
  const struct {
    host::HttpHeaders headers;
    int width;
  } cases[] = {
      {{}, kDefaultScreenWidth},
      {{{"UA-Pixels", "128x160"}}, 128},
      {{{"ua-pixels", "176X208"}}, 176},
      {{{"x-up-devcap-screenpixels", "120,90"}}, 120},
      {{{"UA-Pixels", "wide"}, {"x-up-devcap-screenpixels", "120,90"}}, 120},
      {{{"UA-Pixels", "0x160"}}, kDefaultScreenWidth},
      {{{"UA-Pixels", "99999999999x1"}}, kDefaultScreenWidth},
      {{{"UA-Pixels", "128"}}, kDefaultScreenWidth},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScreenWidth(c.headers), c.width)
        << (c.headers.empty() ? "none" : c.headers[0].second);
  }
}

TEST(HandsetRequest, DeckBytesAreTheOnesDeclaredWellAtLeast300) {
  const struct {
    host::HttpHeaders headers;
    std::size_t bytes;
  } cases[] = {
      {{}, 1400},
      {{{"X-WAP-Client-SDU-Size", "3000"}}, 3000},
      {{{"x-wap-client-sdu-size", " 2000 "}}, 2000},
      {{{"x-up-devcap-max-pdu", "10000"}}, 10000},
      {{{"X-WAP-Client-SDU-Size", "100"}}, 300},
      {{{"X-WAP-Client-SDU-Size", "0"}}, 1400},
      {{{"X-WAP-Client-SDU-Size", "99999999999999"}}, 1400},
      {{{"X-WAP-Client-SDU-Size", "1e4"}}, 1400},
      {{{"X-WAP-Client-SDU-Size", "lots"}, {"x-up-devcap-max-pdu", "5000"}}, 5000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeckBytes(c.headers), c.bytes) << (c.headers.empty() ? "none" : c.headers[0].second);
  }
}

}  // namespace
}  // namespace backoffice::images
