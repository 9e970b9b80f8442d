#include "import/catalog_import.h"

#include "convert/magnitude_scan.h"
#include "import/table_import.h"
#include "input/kept_reads.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

ImportOutcome importCatalog(FileSystem& fs, const ImportRequest& request, CatalogDefinition& definition) {
  if (request.inputs.empty()) throw UsageError("No input file to import");
  // The description, the sample and the magnitude scan read the same heads
  // of the files: a compressed one is inflated once for them all.
  KeptReads kept;
  const KeptReads::Scope keeping(kept);
  ImportOutcome outcome;
  ReadMeTable table;
  std::vector<ColumnEvidence> evidence;
  if (!request.readme.empty()) {
    if (!request.names.empty())
      throw UsageError("The ReadMe names the columns of " + quoted(request.inputs.front()) +
                       ": no names are given to them");
    ReadMeImport imported = importReadMe(request.readme, request.inputs.front(), request.readmeTable, request.type,
                                         definition, fs, request.raUnit);
    table = selectReadMeTable(imported.readMe, request.readme, request.inputs.front(), request.readmeTable);
    outcome.readMe = std::move(imported.readMe);
    outcome.notes = std::move(imported.notes);
    outcome.openRaUnit = std::move(imported.openRaUnit);
    outcome.positionCandidates = std::move(imported.positionCandidates);
    outcome.positionProblem = std::move(imported.positionProblem);
  } else {
    TableImport imported = importTableDescription(fs, request.inputs.front(), request.form, request.type, definition,
                                                  request.raUnit, request.names, request.inputs);
    outcome.notes = std::move(imported.notes);
    outcome.mapped = imported.mapped;
    outcome.openRaUnit = std::move(imported.openRaUnit);
    outcome.positionCandidates = std::move(imported.positionCandidates);
    outcome.positionProblem = std::move(imported.positionProblem);
    table = std::move(imported.table);
    evidence = std::move(imported.evidence);
  }
  if (!request.columns.empty()) {
    if (!outcome.mapped)
      throw UsageError("The columns of " + quoted(request.inputs.front()) +
                       " have no names to choose from: name them first");
    ChoiceOutcome chosen = applyColumnChoices(table, evidence, request.raUnit, request.columns, definition);
    for (std::string& n : chosen.notes) outcome.notes.push_back(std::move(n));
    // A choice of position settles what the proposal left open, or opens it.
    for (const ColumnChoice& c : request.columns) {
      const std::string key = asciiLowered(c.field);
      if (key == "ra" || key == "right ascension") outcome.openRaUnit = std::move(chosen.openRaUnit);
    }
    if (definition.ticked(0) && definition.ticked(definition.fields().raCount())) {
      outcome.positionCandidates.clear();
      outcome.positionProblem.clear();
    }
  }
  if (request.magnitudeFromData && outcome.mapped) {
    kept.lastReaderNext();
    if (std::optional<std::string> note = takeMagnitudeLimitFromData(definition, request.inputs, fs)) {
      outcome.notes.push_back(std::move(*note));
      outcome.magnitudeRead = true;
    }
  }
  return outcome;
}

}  // namespace mirdal
