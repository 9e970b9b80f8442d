#include "sort/compare_from.h"

#include <algorithm>
#include <string>

#include "util/error.h"

namespace mirdal {

namespace {

void checkKey(int position, int recordSize) {
  if (recordSize <= 0) throw Error("Invalid record size " + std::to_string(recordSize));
  if (position < 1) throw Error("Invalid sort key position " + std::to_string(position));
}

}  // namespace

RecordCompare compareMagnitudeAt(int keyPosition, int recordSize) {
  checkKey(keyPosition, recordSize);
  if (keyPosition + 1 > recordSize) return [](const std::uint8_t*, const std::uint8_t*) { return 0; };
  return SmallIntFromCompare{keyPosition - 1};
}

TextFromCompare compareNameFrom(int position, int length, int recordSize) {
  checkKey(position, recordSize);
  int usable = std::clamp(length, 0, std::max(0, recordSize - position + 1));
  return TextFromCompare{position, usable};
}

}  // namespace mirdal
