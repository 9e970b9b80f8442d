#pragma once

#include <cstdint>
#include <functional>

namespace mirdal {

// Orders two records of the sort's record size, given by their addresses:
// negative when a sorts before b, zero when equal, positive when after. It
// must be a consistent total order and read nothing outside the two records.
using RecordCompare = std::function<int(const std::uint8_t* a, const std::uint8_t* b)>;

}  // namespace mirdal
