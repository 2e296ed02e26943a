// What a picture request says of the handset behind it: which picture types it accepts, how wide
// its screen is and how many bytes one reply may have. Each value a request declares badly is
// ignored (the default holds), never an error. Pure; thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/host/http/http_exchange.h"

namespace backoffice::images {

inline constexpr int kDefaultScreenWidth = 96;
inline constexpr std::size_t kDefaultDeckBytes = 1400;
inline constexpr std::size_t kLeastDeckBytes = 300;

// Whether a request with `accept` (its Accept header, "" when it has none) should get a WBMP of a
// picture of `own_type`: it accepts image/vnd.wap.wbmp, and neither `own_type`, image/* nor */*
// (a range with q=0 is not accepted). Names and types compare without regard to case.
bool WantsWbmp(std::string_view accept, std::string_view own_type);

// The screen width `headers` declare (UA-Pixels: WxH, else x-up-devcap-screenpixels: W,H), when
// it is a whole number of 1 to 4096 pixels; otherwise kDefaultScreenWidth.
int ScreenWidth(const host::HttpHeaders& headers);

// The most bytes one reply may have for the handset of `headers` (X-WAP-Client-SDU-Size, else
// x-up-devcap-max-pdu): a whole number of 1 to 1,000,000 counts, raised to kLeastDeckBytes when
// under it; anything else is ignored, and kDefaultDeckBytes holds.
std::size_t DeckBytes(const host::HttpHeaders& headers);

}  // namespace backoffice::images
