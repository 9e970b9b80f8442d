#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "catalog/mapping_tables.h"

class QButtonGroup;
class QRadioButton;
class QToolButton;

namespace mirdal {

class PlatformServices;

// A titled group of radio buttons of which at most one is selected, laid out
// in columns filled top to bottom.
class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(const QString& title, const QStringList& items, int columns = 1, QWidget* parent = nullptr);

  int count() const;
  // -1 when no item is selected.
  int itemIndex() const;
  // Selects without emitting itemClicked; an index outside the items clears the selection.
  void setItemIndex(int index);
  QRadioButton* button(int index) const;

 signals:
  // The user selected another item.
  void itemClicked(int index);

 private:
  QButtonGroup* group_;
};

// A line edit that always delivers a floating-point number: text that does
// not read as one (point as decimal separator, whatever the locale) leaves
// the value as it was, and leaving the box puts the value's text back.
class FloatEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit FloatEdit(QWidget* parent = nullptr);

  double value() const { return value_; }
  // Shows the value in the shortest form that reads back exactly (15 digits).
  void setValue(double value);
  // Puts the value's text back when the text does not read.
  void commit();

  // Strict reading of a whole text as a finite number, C locale.
  static bool parse(const QString& text, double& value);
  static QString format(double value);

 signals:
  void valueChanged(double value);

 private:
  void textEdited_(const QString& text);
  double value_ = 0;
};

// A directory path with a browse button over the directory dialog.
class DirectoryEdit : public QWidget {
  Q_OBJECT
 public:
  DirectoryEdit(PlatformServices& services, QWidget* parent = nullptr);

  QString text() const;
  void setText(const QString& text);
  QLineEdit* lineEdit() const { return edit_; }
  QToolButton* browseButton() const { return browse_; }
  // The directory a relative text is taken from, where the dialog opens
  // when the box is empty.
  void setBaseDirectory(const QString& directory) { baseDirectory_ = directory; }

 public slots:
  void browse();

 signals:
  void textChanged(const QString& text);

 private:
  PlatformServices& services_;
  QLineEdit* edit_;
  QToolButton* browse_;
  QString baseDirectory_;
};

// A filled rectangle with a black border showing one colour.
class ColourSwatch : public QWidget {
  Q_OBJECT
 public:
  explicit ColourSwatch(QWidget* parent = nullptr);

  Colour colour() const { return colour_; }
  void setColour(Colour colour);

 signals:
  void mouseReleased(Qt::MouseButton button);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Colour colour_ = kWhite;
};

// A picture stretched to the widget's whole area, clickable.
class LogoImage : public QWidget {
  Q_OBJECT
 public:
  explicit LogoImage(QWidget* parent = nullptr);

  void setPixmap(const QPixmap& pixmap);
  const QPixmap& pixmap() const { return pixmap_; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPixmap pixmap_;
};

}  // namespace mirdal
