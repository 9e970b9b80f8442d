#include "output/append_check.h"

#include "catalog/error.h"
#include "catalog/text.h"

namespace mirdal {

void checkAppendCompatible(FileSystem& fs, const std::string& headerPath, const RecordLayout& layout) {
  if (!fs.exists(headerPath)) return;
  const std::string intro = "Cannot append to the catalog in \"" + headerPath + "\": ";
  CatalogHeader old;
  try {
    old = readCatalogHeader(fs, headerPath);
  } catch (const Error& e) {
    throw Error(intro + e.what());
  }
  const CatalogHeader& now = layout.header;
  auto differ = [&](const std::string& what, const std::string& was, const std::string& is) {
    throw Error(intro + "its " + what + " is " + was + ", the new catalog's is " + is);
  };
  if (old.magic != now.magic) differ("catalog type", "\"" + old.magic + "\"", "\"" + now.magic + "\"");
  if (old.regionCount != now.regionCount)
    differ("number of region files", std::to_string(old.regionCount), std::to_string(now.regionCount));
  if (old.recordLength != now.recordLength)
    differ("record length", std::to_string(old.recordLength), std::to_string(now.recordLength));
  for (int k = 0; k < CatalogHeader::kFieldCount; ++k) {
    if (old.positions[k] != now.positions[k] || old.lengths[k] != now.lengths[k]) {
      std::string label(trimmed(now.labels[k]));
      if (label.empty()) label = trimmed(old.labels[k]);
      differ("field " + std::to_string(k + 1) + (label.empty() ? "" : " (" + label + ")") + " position and length",
             std::to_string(old.positions[k]) + "/" + std::to_string(old.lengths[k]),
             std::to_string(now.positions[k]) + "/" + std::to_string(now.lengths[k]));
    }
  }
  if (old.indexNameLength != now.indexNameLength)
    differ("index name length", std::to_string(old.indexNameLength), std::to_string(now.indexNameLength));
}

}  // namespace mirdal
