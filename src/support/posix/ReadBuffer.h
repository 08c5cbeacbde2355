#pragma once

#include <cstdint>

// Reads and seeks of the integer-handle file calls served from a buffer of the file layer's own:
// one read of the system per 64 KB instead of one per call. The line reader reads 128 bytes at a
// time and seeks back behind each line end; through the buffer it sees the same bytes at the same
// positions with the same results, and the system sees one read per 64 KB and no seek at all.
//
// A handle opened with FileOpen gets a buffer (AttachReadBuffer) until FileClose drops it
// (DetachReadBuffer); other descriptors (FileCreate's, the save's copy, descriptors above the
// table's size) are read plainly. Writes and changes of the file's end first put the
// descriptor's own position where the reader stands and drop what was read ahead
// (SettleReadBuffer), so they land at the offset the caller expects.
//
// Threads: a handle is used by one thread at a time, as its file position is; the table of
// buffers may be used from several threads at once. No lock is taken.

// Gives the descriptor, freshly opened (position 0), a buffer; without memory it stays plain.
void AttachReadBuffer(int descriptor);
// Frees the descriptor's buffer, before the descriptor is closed.
void DetachReadBuffer(int descriptor);
// FileRead through the descriptor's buffer. False when the descriptor has none (nothing was
// read); otherwise `result` is what FileRead gives: the bytes delivered, or FileIoError when a
// read failed before any byte.
bool ReadBuffered(int descriptor, void* buffer, std::uint32_t bytes, std::uint32_t& result);
// FileSeek through the descriptor's buffer: within what was read ahead without a system call.
// False when the descriptor has none; otherwise `result` is what FileSeek gives.
bool SeekBuffered(int descriptor, std::int32_t offset, int origin, std::int32_t& result);
// Before a write or a change of the file's end: the descriptor's position becomes the reader's,
// and the bytes read ahead are dropped.
void SettleReadBuffer(int descriptor);
