// The project-file loader: any text either loads or is refused with an error
// that names the file and leaves the definition as it was; every setting
// lands in its range, the header of the loaded definition encodes to bytes
// that decode back to it, and saving is stable: a loaded definition saved,
// loaded and saved again gives the same file.

#include <string>
#include <string_view>

#include "catalog/catalog_definition.h"
#include "catalog/project_file.h"
#include "fuzz_check.h"
#include "output/catalog_header.h"
#include "output/record_layout.h"
#include "support/memory_file_system.h"
#include "util/error.h"

namespace {

using namespace mirdal;

void checkRanges(const CatalogDefinition& def) {
  const BuildSettings& s = def.settings;
  FUZZ_CHECK(s.type >= 0 && s.type <= 4);
  FUZZ_CHECK(s.eol >= 0 && s.eol <= 2);
  FUZZ_CHECK(s.ratype >= 0 && s.ratype <= 3);
  FUZZ_CHECK(s.dectype >= 0 && s.dectype <= 2);
  FUZZ_CHECK(s.nebsize >= 0 && s.nebsize <= kNebSizeMax);
  FUZZ_CHECK(s.nebunit >= 0 && s.nebunit <= 2);
  FUZZ_CHECK(s.linewidth >= 0 && s.linewidth <= kLineWidthMax);
  FUZZ_CHECK(s.drawingtype >= 0 && s.drawingtype <= 2);
  FUZZ_CHECK(s.numfile >= 0 && s.numfile <= 3);
  FUZZ_CHECK(s.shortname.size() <= kShortNameMaxLength);
  FUZZ_CHECK(s.longname.size() <= kLongNameMaxLength);
  FUZZ_CHECK(def.fields().type() == def.type());
  FUZZ_CHECK(def.fields().raType() == s.ratype && def.fields().decType() == s.dectype);
  for (const FieldSlot& slot : def.fieldSlots) {
    FUZZ_CHECK(slot.firstChar >= 0 && slot.firstChar <= kMaxSlotValue);
    FUZZ_CHECK(slot.length >= 0 && slot.length <= kMaxSlotValue);
  }
  for (int k = 1; k <= kLabelCount; ++k) FUZZ_CHECK(def.label(k).size() <= kLabelMaxLength);
  for (std::uint8_t flag : def.altNames) FUZZ_CHECK(flag <= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  testing::MemoryFileSystem fs;
  fs.put("/p/loaded.prj", fuzz::asText(data, size));

  CatalogDefinition loaded;
  try {
    loadProject("/p/loaded.prj", loaded, fs);
  } catch (const Error& e) {
    FUZZ_CHECK(std::string_view(e.what()).find("\"/p/loaded.prj\"") != std::string_view::npos);
    FUZZ_CHECK(loaded.settings == BuildSettings());
    return 0;
  }
  checkRanges(loaded);

  const RecordLayout layout = buildRecordLayout(loaded);
  const std::string header = layout.header.encode();
  FUZZ_CHECK(header.size() == CatalogHeader::kEncodedLength);
  FUZZ_CHECK(CatalogHeader::decode(header).encode() == header);

  // Every text loaded is at most 2047 characters long (a longer one is
  // refused) and holds no line break or NUL, so saving never refuses it;
  // every number is saved with 15 digits: so saving, loading and saving
  // again gives the very same file.
  saveProject("/p/first.prj", loaded, fs);
  CatalogDefinition second;
  loadProject("/p/first.prj", second, fs);
  checkRanges(second);
  saveProject("/p/second.prj", second, fs);
  FUZZ_CHECK(fs.contents("/p/first.prj") == fs.contents("/p/second.prj"));
  return 0;
}
