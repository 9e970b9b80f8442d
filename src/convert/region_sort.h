#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "output/record_layout.h"
#include "sort/sort_in_place.h"

namespace mirdal {

// The names the sort's second thread gives its run file and its scratch
// file, beside the calling thread's "SorTemp.mkw" and "sort.out".
inline constexpr const char* kSecondRunFile = "SorTemp2.mkw";
inline constexpr const char* kSecondScratch = "sort2.out";

// Sorts every region file by magnitude (see sortRegionByMagnitude): region
// r is regionFiles[r - 1]. The files are independent, so where the machine
// has more than one core, there are two files or more and the sorter's file
// system may be used from two threads at once, a second thread sorts beside
// the calling one: each takes the next file nobody has taken yet and sorts
// it with a sorter of its own. The calling thread sorts with `sorter` and
// `scratch`; the second one with a run file and a scratch file of
// kSecondRunFile and kSecondScratch in `workDirectory`, and removes its
// spare run file when it ends. If a thread cannot be started, the calling
// one sorts every file. The bytes of each sorted file do not depend on the
// thread that sorted it; the memory is that of two sorts at once.
//
// `beforeRegion(r)` runs on the calling thread only, for r = 1, 2, ... in
// turn, once each: before the calling thread sorts region r, or once it
// sees the other thread has taken it. It may throw (an abort) to stop the
// sort. `stopRequested` is asked by the second thread before each file it
// takes, so it must be safe to call from there (an atomic flag).
//
// `beside`, when given, is other work the second thread does before it
// takes region files (the index of the build); without a second thread the
// calling one does it after the region files.
//
// On a failure in either thread, or a throw from `beforeRegion`, the other
// thread takes no more files, the second thread is joined and the first
// failure propagates on the calling thread.
void sortRegionFilesByMagnitude(InPlaceSorter& sorter, const std::string& scratch,
                                const std::vector<std::string>& regionFiles, const std::string& workDirectory,
                                const RecordLayout& layout, std::int64_t oneRunLimit,
                                const std::function<void(int region)>& beforeRegion,
                                const std::function<bool()>& stopRequested,
                                const std::function<void()>& beside = {});

}  // namespace mirdal
