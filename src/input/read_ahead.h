#pragma once

#include <cstddef>
#include <memory>

#include "input/input_source.h"

namespace mirdal {

// Decompression beside the reader: `source` is read on a thread of its own
// into up to `blocks` buffers of `blockSize` bytes, which the reader takes in
// turn, so that inflating the next megabyte overlaps converting this one.
// The text, the errors (the same messages, AbortError after a stop request)
// and the end are those `source` gives, provided it hands out the text made
// before a failure and throws with its next read (as compressed sources
// opened by openInputSource do); the progress (fileBytesRead) moves
// through each buffer as it is handed out. The first `blockSize` bytes of
// text are read on the caller's thread, and the thread starts with the read
// after them: a reader of a file's head starts none. The thread stops at
// close or destruction, or when the text ends or fails. Where no thread can
// be started, `source` is read on the caller's thread.
std::unique_ptr<InputSource> readAhead(std::unique_ptr<InputSource> source, std::size_t blockSize = std::size_t{1} << 20,
                                       int blocks = 3);

}  // namespace mirdal
