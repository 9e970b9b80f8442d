#pragma once

namespace mirdal {

enum class CatalogType : int {
  Stars = 0,
  VariableStars = 1,
  DoubleStars = 2,
  Nebulae = 3,
  NebulaOutlines = 4,
};

constexpr int kCatalogTypeCount = 5;

constexpr const char* catalogTypeCaption(CatalogType t) {
  switch (t) {
    case CatalogType::Stars: return "Stars";
    case CatalogType::VariableStars: return "Variables stars";
    case CatalogType::DoubleStars: return "Doubles stars";
    case CatalogType::Nebulae: return "Nebulae or other objects";
    case CatalogType::NebulaOutlines: return "Nebulae outlines";
  }
  return "";
}

}  // namespace mirdal
