#include "output/catalog_files.h"

#include "catalog/error.h"
#include "output/region_scheme.h"

namespace mirdal {

namespace {
constexpr std::size_t kIndexBufferSize = 1u << 20;
}

CatalogFiles::CatalogFiles(FileSystem& fs, std::string outputDirectory, const RecordLayout& layout, bool append,
                           std::size_t memoryBudget)
    : fs_(fs),
      dir_(std::move(outputDirectory)),
      base_(baseName(layout.header.shortName)),
      scheme_(layout.regionCount),
      append_(append),
      hasIndex_(layout.index),
      recordLength_(static_cast<std::size_t>(layout.recordLength)),
      budget_(std::max<std::size_t>(memoryBudget, 1)),
      indexRecordLength_(static_cast<std::size_t>(layout.indexRecordLength())),
      headerBytes_(layout.header.encode()) {
  if (!RegionScheme::isValid(scheme_)) throw Error("Invalid number of files : " + std::to_string(scheme_));
  regions_.resize(static_cast<std::size_t>(scheme_));
}

CatalogFiles::~CatalogFiles() { abandon(); }

std::string CatalogFiles::headerPath() const { return dir_ + base_ + ".hdr"; }
std::string CatalogFiles::indexPath() const { return dir_ + base_ + ".idx"; }
std::string CatalogFiles::regionPath(int region) const { return dir_ + regionFileName(base_, scheme_, region); }

void CatalogFiles::create(const RegionHook& beforeEachRegion) {
  if (scheme_ == 732 || scheme_ == 9537) {
    // A directory that cannot be created shows up as a file that cannot be.
    for (std::string_view zone : kZoneDirectoryNames) {
      try {
        fs_.createDirectories(dir_ + std::string(zone));
      } catch (const Error&) {
      }
    }
  }

  {
    auto header = fs_.open(headerPath(), OpenMode::Create);
    header->write(headerBytes_.data(), headerBytes_.size());
    header->close();
  }

  if (hasIndex_) {
    index_ = fs_.open(indexPath(), append_ ? OpenMode::Append : OpenMode::Create);
    indexBuffer_.reserve(kIndexBufferSize);
  }

  for (int r = 1; r <= scheme_; ++r) {
    if (beforeEachRegion) beforeEachRegion(r);
    auto file = fs_.open(regionPath(r), append_ ? OpenMode::Append : OpenMode::Create);
    file->close();
  }
}

void CatalogFiles::writeIndexRecord(const std::uint8_t* record) {
  indexBuffer_.insert(indexBuffer_.end(), record, record + indexRecordLength_);
  if (indexBuffer_.size() >= kIndexBufferSize) flushIndex();
}

void CatalogFiles::flushIndex() {
  if (!index_ || indexBuffer_.empty()) return;
  index_->write(indexBuffer_.data(), indexBuffer_.size());
  indexBuffer_.clear();
}

void CatalogFiles::flushRegion(int region) {
  Region& r = regions_[static_cast<std::size_t>(region - 1)];
  if (r.buffer.empty()) return;
  auto file = fs_.open(regionPath(region), OpenMode::Append);
  file->write(r.buffer.data(), r.buffer.size());
  file->close();
  buffered_ -= r.buffer.size();
  // Keep a modest capacity for the next round; give back large buffers.
  if (r.buffer.capacity() > budget_ / regions_.size() * 2) {
    std::vector<std::uint8_t>().swap(r.buffer);
  } else {
    r.buffer.clear();
  }
}

void CatalogFiles::flushRegions() {
  for (int r = 1; r <= scheme_; ++r) flushRegion(r);
}

void CatalogFiles::close(const RegionHook& beforeEachRegion) {
  for (int r = 1; r <= scheme_; ++r) {
    if (beforeEachRegion) beforeEachRegion(r);
    flushRegion(r);
  }
  if (index_) {
    flushIndex();
    auto index = std::move(index_);
    index->close();
  }
}

void CatalogFiles::abandon() noexcept {
  for (int r = 1; r <= scheme_; ++r) {
    try {
      flushRegion(r);
    } catch (...) {
    }
    regions_[static_cast<std::size_t>(r - 1)].buffer.clear();
  }
  buffered_ = 0;
  if (index_) {
    try {
      flushIndex();
    } catch (...) {
    }
    try {
      index_->close();
    } catch (...) {
    }
    index_.reset();
  }
}

}  // namespace mirdal
