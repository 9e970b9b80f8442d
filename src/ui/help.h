#pragma once

#include <QString>
#include <QStringList>

namespace mirdal {

// The help language: the text of "Config/Language" in the settings of
// organisation "Halvex", application "Orva", taken as it is; "UK" when the
// value is absent or not a text.
QString readHelpLanguage();

// Directories where an installed manual lives, beside the program's
// directory: <bindir>/../share/doc/mirdal and the configured install path.
QStringList installedManualDirectories();

// The manual to open: <programDir>/doc/<language>_mirdal.html, else the same
// name in each installed directory, else UK_mirdal.html in the same places.
// When none exists, the UK manual under the program directory is returned
// all the same (opening it then fails silently).
QString helpDocumentPath(const QString& programDirectory, const QString& language,
                         const QStringList& installedDirectories);

}  // namespace mirdal
