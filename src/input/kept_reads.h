#pragma once

// What an import keeps of the compressed input files it reads, so that it
// inflates each of them once. An import reads the head of a file more than
// once: the sample of rows that proposes the columns, then the wider sample
// of the magnitude scan; and a FITS file's headers are walked through its
// whole text each time its table is opened.
//
// While a KeptReads is installed on a thread (KeptReads::Scope), the readers
// of that thread keep in it, within its byte budget:
// - of a compressed text file sampled from its start (sampleRows), the rows
//   read and the open source after them: the next sample of the same file
//   read the same way is handed those rows again and reads on from there;
// - of a compressed FITS file, what the walk through its headers found and
//   the head of its text: its table is opened again and its first rows read
//   from memory.
// Nothing is kept without one: a build reads each file once anyway.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input/row_source.h"

namespace mirdal {

class KeptReads {
 public:
  // The sample's rows of text, and the head of a FITS file that holds the
  // magnitude scan's 200,000 rows where they are up to 240 bytes long.
  static constexpr std::size_t kDefaultBudget = std::size_t{48} << 20;
  // Sources kept open at most: each holds its decoder's memory (an xz
  // decoder up to 64 MB), so the parts of a large release after these are
  // read again.
  static constexpr std::size_t kMostOpenSources = 4;

  // The rows of a text file read from its start, and its source after them.
  struct TextPart {
    std::unique_ptr<RowSource> source;  // closed once its last row was read
    std::int64_t size = 0;              // the file's size at its open
    std::string text;                   // the rows read, one after the other
    std::vector<std::size_t> ends;      // where each row ends in `text`
    bool ended = false;                 // the source gave its last row
    bool complete = true;               // `text` holds every row the source gave

    std::string_view row(std::size_t i) const {
      const std::size_t begin = i == 0 ? 0 : ends[i - 1];
      return std::string_view(text).substr(begin, ends[i] - begin);
    }
  };

  // A compressed FITS file's text as its header walk read it.
  struct FitsText {
    std::string problem;        // why its headers are refused; empty when they are not
    std::int64_t textSize = 0;  // the bytes its table may be read from
    std::shared_ptr<const std::string> head;  // its first bytes
  };

  explicit KeptReads(std::size_t budget = kDefaultBudget) : budget_(budget) {}
  KeptReads(const KeptReads&) = delete;
  KeptReads& operator=(const KeptReads&) = delete;

  // The calling thread's, or null.
  static KeptReads* current();

  // Installs `reads` for the calling thread until it ends.
  class Scope {
   public:
    explicit Scope(KeptReads& reads);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    KeptReads* previous_;
  };

  // The reader that comes next is the last: it may take what is kept, and
  // keeps nothing more.
  void lastReaderNext() { keeping_ = false; }
  bool keeping() const { return keeping_; }

  // Bytes the budget still holds.
  std::size_t room() const { return budget_ - used_; }

  // Takes out the part kept of `path` read as `format`; null when none is.
  std::unique_ptr<TextPart> takeText(const std::string& path, const InputFormat& format);
  // Keeps `part` for the next reader of `path` as `format`, where there is
  // one, its rows are all there and its source may stay open; else lets it go.
  void keepText(const std::string& path, const InputFormat& format, std::unique_ptr<TextPart> part);

  // What was kept of the FITS file `path` of `fileSize` bytes; null when nothing is.
  const FitsText* fitsText(const std::string& path, std::int64_t fileSize) const;
  void keepFitsText(const std::string& path, std::int64_t fileSize, FitsText text);

 private:
  struct TextKey {
    std::string path;
    int form, eol;
    bool headerRow;
    std::string table;
    auto operator<=>(const TextKey&) const = default;
  };
  static TextKey keyOf(const std::string& path, const InputFormat& format);

  std::size_t budget_;
  std::size_t used_ = 0;
  bool keeping_ = true;
  std::map<TextKey, std::unique_ptr<TextPart>> texts_;
  std::map<std::pair<std::string, std::int64_t>, FitsText> fits_;
};

}  // namespace mirdal
