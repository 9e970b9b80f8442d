#pragma once

#include <QString>
#include <QStringList>

namespace mirdal {

// The help language: the text of "Config/Language" in the settings of
// organisation "Halvex", application "Orva", taken as it is; "UK" when the
// value is absent or not a text.
QString readHelpLanguage();

// Directories where the manual lives when the program directory has none:
// <bindir>/../share/doc/mirdal, the configured install path, and the doc
// directory of the source tree the program was built from.
QStringList installedManualDirectories();

// The manual to open: <programDir>/doc/<language>_mirdal.html, else the same
// name in each installed directory, else UK_mirdal.html in the same places.
// When none exists, the UK manual under the program directory is returned
// all the same (opening it then fails, and the window says so).
QString helpDocumentPath(const QString& programDirectory, const QString& language,
                         const QStringList& installedDirectories);

}  // namespace mirdal
