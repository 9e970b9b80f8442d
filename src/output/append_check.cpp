#include "output/append_check.h"

#include <cerrno>
#include <cstring>

#include "output/region_scheme.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string flags(const CatalogHeader& h) {
  std::string out;
  for (bool f : h.altNameFlags) out += f ? '1' : '0';
  return out;
}

}  // namespace

void checkAppendCompatible(FileSystem& fs, const std::string& directory, const std::string& base,
                           const RecordLayout& layout) {
  const std::string headerPath = directory + base + ".hdr";
  const std::string intro = "Cannot append to the catalog in \"" + headerPath + "\": ";
  if (!fs.exists(headerPath)) throw Error(intro + std::strerror(ENOENT));
  CatalogHeader old;
  try {
    refuseOutsideOrSpecial(fs, directory, headerPath);
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
  if (old.prefixAltNames != now.prefixAltNames)
    differ("alternate-name prefix setting", old.prefixAltNames ? "on" : "off", now.prefixAltNames ? "on" : "off");
  if (old.altNameFlags != now.altNameFlags) differ("alternate-name flags", flags(old), flags(now));
  if (old.equinox != now.equinox) differ("equinox", number(old.equinox), number(now.equinox));
  if (old.epoch != now.epoch) differ("epoch", number(old.epoch), number(now.epoch));

  const std::string indexPath = directory + base + ".idx";
  const bool hadIndex = fs.exists(indexPath);
  if (hadIndex != layout.index)
    throw Error(intro + (hadIndex ? "it has a name index, the new catalog has none"
                                  : "it has no name index, the new catalog has one"));

  // Whole records in every file, so that appended records stay aligned.
  auto checkWhole = [&](const std::string& path, std::int64_t recordLength) {
    std::int64_t size = 0;
    try {
      refuseOutsideOrSpecial(fs, directory, path);
      size = fs.open(path, OpenMode::ReadRegular)->size();  // names the file when missing
    } catch (const Error& e) {
      throw Error("Cannot append to the catalog in \"" + directory + "\": " + e.what());
    }
    requireWholeRecords(path, size, recordLength);
  };
  for (int r = 1; r <= now.regionCount; ++r)
    checkWhole(directory + regionFileName(base, now.regionCount, r), layout.recordLength);
  if (layout.index) checkWhole(indexPath, layout.indexRecordLength());
}

void requireWholeRecords(const std::string& path, std::int64_t bytes, std::int64_t recordLength) {
  if (recordLength <= 0 || bytes % recordLength == 0) return;
  throw Error("Cannot append to \"" + path + "\": its " + std::to_string(bytes) + " bytes are not a whole number of " +
              std::to_string(recordLength) + "-byte records (" + std::to_string(bytes % recordLength) +
              " bytes too many)");
}

}  // namespace mirdal
