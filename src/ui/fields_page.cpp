#include "ui/fields_page.h"

#include <QFileInfo>
#include <QStringList>

#include "convert/magnitude_scan.h"
#include "import/catalog_import.h"
#include "import/readme_import.h"
#include "import/table_import.h"
#include "ui/field_layout_editor.h"
#include "ui/main_window.h"
#include "ui/off_thread_read.h"
#include "ui/qt_text.h"
#include "util/error.h"

namespace mirdal {

namespace {

// For the import summary: the unit the user gave and why it was asked.
QString raUnitAnswerNote(const OpenRaUnit& open, RaUnit unit) {
  return QStringLiteral("RA taken in %1, as answered: %2 has %3.\n")
      .arg(QLatin1String(raUnitName(unit)), fromBytes(open.column), fromBytes(open.reason));
}

// A note of the import as the wizard shows it: the unit the import was told
// ("as stated") is the answer given here.
QString importNote(const std::string& note) {
  return fromBytes(note).replace(QStringLiteral("(as stated)"), QStringLiteral("(as answered)"));
}

}  // namespace

FieldsPage::FieldsPage(WizardWindow& wizard, QWidget* parent)
    : WizardPage(wizard, "FieldsPage", "Select the fields to use and their position in the text file", parent) {
  editor_ = new FieldLayoutEditor(definition(), services(), fileSystem(), this);
  column()->addWidget(editor_, 1);
  editor_->setInputNameResolver([&wizard](const std::string& name) { return wizard.inputNameAsBuilt(name); });
  connect(editor_, &FieldLayoutEditor::importReadMeRequested, this, &FieldsPage::onImportReadMe);
}

void FieldsPage::initializePage() { editor_->enterPage(); }

bool FieldsPage::validatePage() { return wizard().passes(checkFieldsPage(definition())); }

void FieldsPage::showDefinition() { editor_->showFieldList(); }

void FieldsPage::onImportReadMe() {
  guarded([this] {
    CatalogDefinition& def = definition();
    FileSystem& fs = fileSystem();
    if (def.settings.format != TableForm::Fixed && !def.settings.inputfiles.empty()) {
      importInputDescription();
      return;
    }
    FileDialogRequest request;
    request.title = QStringLiteral("Import ReadMe");
    request.filters = {QStringLiteral("All files (*)"), QStringLiteral("ReadMe files (ReadMe* README* *.readme)")};
    request.selectedFilter = 0;
    // The ReadMe comes with the catalog: beside its first file.
    const CatalogDefinition built = wizard().definitionAsBuilt();
    if (!built.settings.inputfiles.empty())
      request.directory = QFileInfo(fromPath(built.settings.inputfiles.front())).absolutePath();
    else
      request.directory = wizard().programDirectory();
    const QString chosen = services().openFile(dialogParent(), request);
    if (chosen.isEmpty()) return;
    const std::string path = toPath(chosen);
    const std::string input = built.settings.inputfiles.empty() ? std::string() : built.settings.inputfiles.front();

    // Reading and choosing the table, and settling the right ascension's unit
    // where the import leaves it open, come before any change: a failure or
    // a cancelled question there leaves the page as it was.
    ReadMe readMe;
    const ReadMeTable* table = nullptr;
    std::vector<std::string> notes;
    CatalogDefinition staged = def;
    QString answered;
    try {
      ReadMeImport imported = importReadMe(path, input, {}, def.type(), staged, fs);
      if (imported.openRaUnit) {
        const OpenRaUnit open = *imported.openRaUnit;
        const std::optional<RaUnit> unit = askRaUnit(open, input);
        if (!unit) return;
        staged = def;
        imported = importReadMe(path, input, {}, def.type(), staged, fs, unit);
        answered = raUnitAnswerNote(open, *unit);
      }
      readMe = std::move(imported.readMe);
      notes = std::move(imported.notes);
    } catch (const Error&) {
      // Several tables, none for a file named like the input: the user picks.
      readMe = readReadMe(path, fs);
      if (readMe.tables.size() < 2) throw;
      QStringList items;
      for (const ReadMeTable& t : readMe.tables) {
        QStringList names;
        for (const std::string& n : t.fileNames) names << fromBytes(n);
        items << QStringLiteral("%1 (%2 columns)").arg(names.join(QStringLiteral(", "))).arg(t.columns.size());
      }
      const QString name = QFileInfo(fromPath(input)).fileName();
      const std::optional<int> index = services().chooseItem(
          dialogParent(), QStringLiteral("Import ReadMe"),
          QStringLiteral("The ReadMe describes several files, none named like \"%1\".\nWhich one do the input "
                         "files follow?")
              .arg(name),
          items);
      if (!index || *index < 0 || *index >= static_cast<int>(readMe.tables.size())) return;
      table = &readMe.tables[static_cast<std::size_t>(*index)];
      notes = applyReadMeTable(*table, def.type(), staged);
    }
    // Every row of every input file is read: off the window's thread.
    if (std::optional<std::string> note = readOffWindowThread(
            [&staged, &built, &fs] { return takeMagnitudeLimitFromData(staged, built.settings.inputfiles, fs); }))
      notes.push_back(std::move(*note));
    def = std::move(staged);
    // Page 2's coordinate formats, equinox and epoch, page 3's list, ticks,
    // slots and labels.
    wizard().mapDefinitionToControls();

    QString text = QStringLiteral("Imported from \"%1\"").arg(chosen);
    if (!readMe.title.empty()) text += QStringLiteral(", %1").arg(fromBytes(readMe.title));
    text += QStringLiteral(".\nReview the ticks, columns and labels before building.\n");
    text += answered;
    for (const std::string& note : notes) text += QLatin1Char('\n') + importNote(note);
    services().showText(dialogParent(), QStringLiteral("Import ReadMe"), text);
  });
}

namespace {

// The fields that read a column: ticked, with a column and a length.
bool readsAnyColumn(const CatalogDefinition& def) {
  for (int p = 0; p < def.fields().size(); ++p) {
    const FieldSlot& slot = def.fieldSlots[static_cast<std::size_t>(p)];
    if (def.ticked(p) && slot.firstChar >= 1 && slot.length >= 1) return true;
  }
  return false;
}

// Whether `a` and `b` read the same columns the same way into the same fields.
bool sameMapping(const CatalogDefinition& a, const CatalogDefinition& b) {
  if (a.fields().size() != b.fields().size()) return false;
  for (int p = 0; p < a.fields().size(); ++p) {
    const auto i = static_cast<std::size_t>(p);
    const FieldSlot& x = a.fieldSlots[i];
    const FieldSlot& y = b.fieldSlots[i];
    if (a.ticked(p) != b.ticked(p) || x.firstChar != y.firstChar || x.length != y.length || x.calcA != y.calcA ||
        x.calcB != y.calcB || a.fieldNames[i] != b.fieldNames[i])
      return false;
  }
  return true;
}

}  // namespace

// Every form but fixed columns describes its columns in the file itself:
// the import reads the first input file instead of a ReadMe. A mapping made
// on this page that the proposal would change is replaced only when the
// user says so.
void FieldsPage::importInputDescription() {
  CatalogDefinition& def = definition();
  const std::string input = def.settings.inputfiles.front();
  // Into a copy, so that a file refused halfway leaves the page as it was.
  CatalogDefinition imported = def;
  ImportRequest request;
  request.inputs = wizard().definitionAsBuilt().settings.inputfiles;
  request.form = def.settings.format;
  request.type = def.type();
  FileSystem& fs = fileSystem();
  // A large table may take a while to sample: the window goes on painting.
  ImportOutcome result = readOffWindowThread([&] { return importCatalog(fs, request, imported); });
  QString answered;
  if (result.openRaUnit) {
    const OpenRaUnit open = *result.openRaUnit;
    const std::optional<RaUnit> unit = askRaUnit(open, input);
    if (!unit) return;
    imported = def;
    request.raUnit = unit;
    result = readOffWindowThread([&] { return importCatalog(fs, request, imported); });
    answered = raUnitAnswerNote(open, *unit);
  }
  if (readsAnyColumn(def) && !sameMapping(def, imported) &&
      !services().askYesNo(dialogParent(),
                           QStringLiteral("Replace the columns chosen on page 3 with the ones proposed from \"%1\"?")
                               .arg(fromPath(input))))
    return;
  def = std::move(imported);
  wizard().mapDefinitionToControls();
  editor_->enterPage();

  QString text = QStringLiteral("Imported from the columns \"%1\" describes.\n").arg(fromPath(input));
  text += result.mapped ? QStringLiteral("Review the ticks, columns and labels before building.\n")
                        : QStringLiteral("Its columns have no names: pick each field's column in the list.\n");
  text += answered;
  for (const std::string& note : result.notes) text += QLatin1Char('\n') + importNote(note);
  services().showText(dialogParent(), QStringLiteral("Propose columns"), text);
}

// A decimal right ascension with no unit, no telling name and values all
// within 0-24 may be either: the user says which, as --ra-unit does on the
// command line.
std::optional<RaUnit> FieldsPage::askRaUnit(const OpenRaUnit& open, const std::string& file) const {
  const QStringList items = {QStringLiteral("Hours (0-24)"), QStringLiteral("Degrees (0-360)")};
  const std::optional<int> index = services().chooseItem(
      dialogParent(), QStringLiteral("Right ascension unit"),
      QStringLiteral("In \"%1\", the right ascension %2 has %3, so it may be in hours or in degrees.\nWhich is it?")
          .arg(QFileInfo(fromPath(file)).fileName(), fromBytes(open.column), fromBytes(open.reason)),
      items);
  if (!index || *index < 0 || *index >= items.size()) return std::nullopt;
  return *index == 0 ? RaUnit::Hours : RaUnit::Degrees;
}

}  // namespace mirdal
