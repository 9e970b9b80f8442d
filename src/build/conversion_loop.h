#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "build/input_reader.h"
#include "build/reject_log.h"
#include "catalog/catalog_definition.h"
#include "catalog/file_system.h"
#include "catalog/mapping_tables.h"
#include "output/catalog_files.h"
#include "output/record_layout.h"

namespace mirdal {

struct ConversionCounters {
  std::int64_t lines = 0;
  std::int64_t records = 0;
  std::int64_t indexRecords = 0;
  std::int64_t rejected = 0;
};

// Stage "Convert catalog files": every line of every input file becomes one
// data record in the region of its position, plus one index record per
// non-empty name, or is refused to the reject log when its position is
// impossible. The lookup lists are prepared once, when the loop is made.
class ConversionLoop {
 public:
  ConversionLoop(const CatalogDefinition& definition, const RecordLayout& layout, CatalogFiles& files,
                 RejectLog& rejectLog, FileSystem& fs = FileSystem::real());

  // Called with the file's size once it is open.
  using Opened = std::function<void(std::int64_t size)>;
  // Called before every 1000th line of a file is read, with the reader's
  // position; it may throw to stop the build (abort).
  using Checkpoint = std::function<void(std::int64_t position)>;

  void convertFile(const std::string& path, int eol, const Opened& opened, const Checkpoint& checkpoint);
  // Converts one line (exposed for tests and fuzzing).
  void convertLine(std::string_view line);

  const ConversionCounters& counters() const { return counters_; }

 private:
  struct TypeField {
    const FieldSlot* slot;
    ValueKind kind;
    double scale;
    double missing;
    std::size_t offset;
    std::size_t width;
  };
  struct TextField {
    const FieldSlot* slot;
    std::size_t offset;
    std::size_t width;
  };
  struct NameSource {
    const FieldSlot* slot;
    std::string prefix;  // empty unless prefixed
  };

  const CatalogDefinition& def_;
  const RecordLayout& layout_;
  CatalogFiles& files_;
  RejectLog& rejectLog_;
  InputReader reader_;
  LookupLists lookups_;
  int ratype_, dectype_, raCount_, decCount_;
  std::vector<TypeField> typeFields_;
  std::vector<TextField> stringFields_;
  std::vector<TextField> numericFields_;
  std::vector<NameSource> names_;
  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> indexRecord_;
  ConversionCounters counters_;
};

}  // namespace mirdal
