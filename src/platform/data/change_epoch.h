// The change epoch: how many changes to the site database this process has been told of by a
// listener that follows them (host/change_watcher.h: PostgreSQL's NOTIFY), plus this process's
// own writes. A PostgreSQL connection keeps the integer answers of paging (counts, key lists) only
// while changes are followed, and only while the epoch is what it was when it read them. Without
// a live listener (the command line, a lost connection) nothing is kept.
// Thread-safe: atomics, read on every kept answer.
#pragma once

#include <cstdint>

namespace data {

std::uint64_t ChangeEpoch();
// A change was committed (or may have been): every kept answer is dropped.
void BumpChangeEpoch();
// Whether a listener follows the changes now; either way the epoch moves on.
void SetChangesFollowed(bool followed);
bool ChangesFollowed();

}  // namespace data
