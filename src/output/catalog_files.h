#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/file_system.h"
#include "output/record_layout.h"

namespace mirdal {

// The files of one build in the output directory: the header file, one data
// file per sky region (in zone directories for 732 and 9537 regions) and the
// optional name index.
//
// Up to 9537 region files receive records, far more than a process may keep
// open. Records are therefore gathered in per-region buffers under one memory
// budget; when the budget is used up, every buffered region is appended to its
// file (opened, written, closed). Each region file so ends with exactly its
// records in input order. The index file stays open and is written through its
// own buffer.
class CatalogFiles {
 public:
  static constexpr std::size_t kDefaultMemoryBudget = 48u << 20;

  CatalogFiles(FileSystem& fs, std::string outputDirectory, const RecordLayout& layout, bool append,
               std::size_t memoryBudget = kDefaultMemoryBudget);
  ~CatalogFiles();
  CatalogFiles(const CatalogFiles&) = delete;
  CatalogFiles& operator=(const CatalogFiles&) = delete;

  // Called before region file r (1..N) is created; it may throw (abort).
  using RegionHook = std::function<void(int region)>;

  // "Create files": zone directories, the header file, the index file, and
  // every region file created empty (or, in append mode, checked to exist).
  void create(const RegionHook& beforeEachRegion = {});

  void writeRecord(int region, const std::uint8_t* record) {
    Region& r = regions_[static_cast<std::size_t>(region - 1)];
    r.buffer.insert(r.buffer.end(), record, record + recordLength_);
    buffered_ += recordLength_;
    if (buffered_ >= budget_) flushRegions();
  }
  void writeIndexRecord(const std::uint8_t* record);

  // "Close files": writes what is buffered and closes region files 1..N in
  // order (the hook runs before each), then the index file.
  void close(const RegionHook& beforeEachRegion = {});
  // After a failure: writes out what can be written, closes everything and
  // swallows further errors, so that what was converted stays in the files.
  void abandon() noexcept;

  int regionCount() const { return static_cast<int>(regions_.size()); }
  const std::string& outputDirectory() const { return dir_; }
  std::string headerPath() const;
  std::string regionPath(int region) const;
  std::string indexPath() const;
  bool hasIndex() const { return hasIndex_; }

 private:
  struct Region {
    std::vector<std::uint8_t> buffer;
  };
  void flushRegions();
  void flushRegion(int region);
  void flushIndex();

  FileSystem& fs_;
  std::string dir_;
  std::string base_;
  int scheme_;
  bool append_;
  bool hasIndex_;
  std::size_t recordLength_;
  std::size_t budget_;
  std::size_t indexRecordLength_;
  std::size_t buffered_ = 0;
  std::string headerBytes_;
  std::vector<Region> regions_;
  std::unique_ptr<File> index_;
  std::vector<std::uint8_t> indexBuffer_;
};

}  // namespace mirdal
