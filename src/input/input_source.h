#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "util/file_system.h"

namespace mirdal {

// The bytes of an input catalog's text: the file itself, or, for a name
// ending in ".gz", ".bz2", ".xz" or ".zst", the text inside the gzip, bzip2,
// xz or zstd file. Compressed files may hold several members, streams or
// frames one after the other (as `cat a.gz b.gz` makes); their texts follow
// each other.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // Reads up to n bytes of text; fewer only when the text ends, which sets
  // `atEnd`. Throws Error naming the file when it cannot be read, when its
  // compressed data is corrupt or cut short, or when a regular file's size or
  // modification time changed between its open and the end of its text
  // ("Input file "x.csv" changed while it was read (size 1234 -> 0)");
  // AbortError once a stop was requested (each read looks once).
  virtual std::size_t read(char* buffer, std::size_t n, bool& atEnd) = 0;
  // Bytes of the file consumed so far: equal to the text bytes read for a
  // plain file, fewer for a compressed one. Reaches the file's size at the end
  // of the text.
  virtual std::int64_t fileBytesRead() const = 0;
  // Size of the file in bytes (compressed, for a compressed file).
  virtual std::int64_t fileSize() = 0;
  // Passes over the next n bytes of text (of a plain file, by a seek): the
  // next read starts after them, or at the end of the text.
  virtual void skip(std::int64_t n);
  virtual void close() = 0;
  virtual const std::string& path() const = 0;
  virtual bool compressed() const = 0;
};

// The compression whose magic bytes start `head`: "gzip", "bzip2", "xz",
// "zstd" (those read), "compress", "lz4", and the archives "zip" and
// "7-Zip"; empty for any other start.
std::string_view compressionOfContent(std::string_view head);

// Throws Error naming the file at `path` and the compression when `head`,
// the first bytes of a table's text, starts a compressed file or archive:
// those read are read under a name with their ending, the others not at
// all. (Detection and the readers of table headers call it; fixed-column
// lines are read as the bytes they are.)
void refuseUnreadCompression(std::string_view head, std::string_view path);

// True for a name ending in ".gz", ".bz2", ".xz" or ".zst", in any case ("CAT.GZ" too).
bool isCompressedInputPath(std::string_view path);

// Whether an input that is a FIFO (named pipe) is read, waiting for its
// writer; by default it is refused as a device or a socket always is. A
// build turns it on when its user asks for pipes; an import never does (it
// reads its files more than once).
void allowPipeInputs(bool allowed);

// Opens an input file read-only: a regular file, or a FIFO where pipes are
// allowed. Throws Error naming the file otherwise (""x" is not a file: it is
// a character device") or when it cannot be opened.
std::unique_ptr<File> openInputFile(FileSystem& fs, const std::string& path);

// Opens `path` read-only through `fs` (see openInputFile). Throws Error
// naming the file when it cannot be opened.
std::unique_ptr<InputSource> openInputSource(FileSystem& fs, const std::string& path);

// The same for files whose content tells whether they are compressed (FITS
// and VOTable files come gzipped under any name): a file that starts with
// the gzip, bzip2, xz or zstd magic bytes is decompressed, any other is read
// as it is. Throws Error naming the file when it cannot be opened or read.
std::unique_ptr<InputSource> openInputSourceByContent(FileSystem& fs, const std::string& path);

// The gzip decoders: ISA-L's, the faster, where it was found when the
// program was built, zlib's always. Both give the same text and the same
// errors for every file; openInputSource takes the best one built.
enum class GzipDecoder { Isal, Zlib };
bool gzipDecoderBuilt(GzipDecoder decoder);
// Reads `file` as gzip with `decoder` (which must be built), on the calling
// thread.
std::unique_ptr<InputSource> openGzipSource(std::unique_ptr<File> file, GzipDecoder decoder);

}  // namespace mirdal
