#pragma once

#include <string_view>

#include <QGroupBox>
#include <QSizePolicy>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

// Small pieces shared by the files that build the wizard's pages.

namespace mirdal {

// The column of a page made by Form1::addPage, its heading already in place.
inline QVBoxLayout* pageColumn(QWidget* page) { return static_cast<QVBoxLayout*>(page->layout()); }

// The column inside a group box: close to the frame, the rows close together.
inline QVBoxLayout* groupColumn(QGroupBox* box) {
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(6, 2, 6, 4);
  column->setSpacing(2);
  return column;
}

// Names of the built-in tables are bytes, shown one byte per character.
inline QString bytesOf(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// A control that some catalog types hide keeps its place, so that the rest
// of the page does not move from one type to another.
inline void keepPlaceWhenHidden(QWidget* w) {
  QSizePolicy policy = w->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  w->setSizePolicy(policy);
}

}  // namespace mirdal
