// The dates that databases store (TIME, MODTIME, LINK_DATE) as ISO 8601 text.
#pragma once

#include "sdb_tags.h"

#include <cstdint>
#include <string>

namespace sdb {

// "2017-12-05T13:48:28.2907747Z": a FILETIME (100 ns units since 1601-01-01, UTC), with
// the fraction only when it is not zero.
std::string filetime_text(uint64_t filetime);
// "2015-10-30T02:32:29Z": a link date (seconds since 1970-01-01, UTC).
std::string link_date_text(uint32_t seconds);
// The date that an item of a date tag holds: TIME as a FILETIME, LINK_DATE, UPTO_LINK_DATE
// and FROM_LINK_DATE as link dates. False, leaving *text, for other tags.
bool tag_date_text(TAG tag, uint64_t value, std::string* text);

} // namespace sdb
