// Journal: whether a file descriptor is the journal's stream. systemd connects a service's
// standard output or error to the journal and names that stream in JOURNAL_STREAM as
// "DEVICE:INODE"; a line written there may begin with a "<N>" syslog priority, which the journal
// takes as the line's priority. Thread-safe (reads the environment only).
#pragma once

namespace observe {

// Syslog priorities of the lines the server writes.
inline constexpr int kPriorityError = 3;
inline constexpr int kPriorityNotice = 5;

// True when `fd` is the stream JOURNAL_STREAM names (same device and inode); false when the
// variable is unset or malformed, or `fd` is another file (output redirected by hand).
bool IsJournalStream(int fd);

}  // namespace observe
