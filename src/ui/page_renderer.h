#pragma once

#include <QString>
#include <QStringList>

namespace mirdal {

class WizardWindow;

// Renders the wizard window with each of its pages shown, at its default size
// 499 x 473 (larger only where the window's layout cannot shrink that far),
// to PNG files in `directory`: page1.png ... page8.png, the variants of pages
// 2 and 4 for nebulae and outlines, and the progress window. Returns the files
// written, each followed by its size, for the caller to report.
QStringList renderPages(WizardWindow& window, const QString& directory);

}  // namespace mirdal
