#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/catalog_definition.h"
#include "util/file_system.h"

namespace mirdal {

// A project file (".prj") keeps a whole CatalogDefinition as INI text in the
// sections Page1 to Page7.

// Writes every key into path + ".saving", puts it on the disk and renames it
// over `path`; the file that was at `path` becomes path + ".old" (replacing
// an older one). Throws Error("Unable to write to <path>: <reason>") when
// the file cannot be written, and then `path` and its ".old" are as they
// were; a directory at `path` is never touched. A value that the file could
// not give back as it is (a CR, LF or NUL in it, or more than 2047
// characters) is refused first with an Error naming the key and the value,
// and nothing on disk changes.
void saveProject(const std::string& path, const CatalogDefinition& definition,
                 FileSystem& fs);

// Throws the Error saveProject gives when `path` or its ".old" names a
// pipe, a device or a socket (links followed), which a save would replace
// by a regular file: "Unable to write to <path>: "<path>" is not a file: it
// is a FIFO (named pipe)". Callers check before they do any long work.
void refuseSpecialSaveTarget(const std::string& path, FileSystem& fs);

// Applies a project file to `definition`: catalog type and coordinate formats
// first (each rebuilding the field list when it changes), then everything that
// lives on list positions. Missing keys keep the current value, except where
// the file format gives a fixed fallback (numfiles 0, numitem 0, calcA 1,
// calcB 0). Values of the wrong form give those fallbacks; quantities out of
// range are clamped.
// Throws Error, and leaves `definition` as it was, when the file is not a
// project ("\"<path>\" is not a Mirdal project file: <reason>": it cannot be
// read, is no regular file, is larger than IniFile::kMaxFileBytes, holds a
// NUL byte, or has no [Page1] section with a type key), when a value it reads
// is longer than 2047 characters (naming the key): a cut value would name
// another file, or when an enumerated key (type, eol, ratype, dectype,
// nebunit, nebtype, drawingtype, numfile) holds a number that is none of its
// values (naming the key and the values it takes).
void loadProject(const std::string& path, CatalogDefinition& definition,
                 FileSystem& fs);

// Value forms of the file.
// Up to 15 significant digits, "." as separator, no trailing zeros; E notation
// ("1E-5", "1.5E20") below 1E-4 and from 1E15 on in magnitude.
std::string formatProjectFloat(double value);
// Decimal, or hexadecimal after "0x"/"0X", with an optional sign. Values beyond
// 64 bits saturate. Anything else is not an integer.
std::optional<std::int64_t> parseProjectInteger(std::string_view text);
// A finite decimal number with "." as separator; "inf", "nan" and values beyond
// the double range are not numbers.
std::optional<double> parseProjectFloat(std::string_view text);

// Upper bound of a loaded first character or length: 41 slots of this width
// still sum to less than 2^31, so record and column arithmetic cannot overflow.
constexpr std::int32_t kMaxSlotValue = 1'000'000;
// Loading takes at most this many input-file keys.
constexpr int kMaxInputFiles = 100'000;

}  // namespace mirdal
