#include "ui/sky_preview_window.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "convert/field_preview.h"
#include "output/catalog_reader.h"
#include "ui/qt_text.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr int kWidthStep = 60;
constexpr int kMinSkyWidth = 180;
constexpr int kMaxSkyWidth = 2880;
constexpr int kFirstSkyWidth = 720;

QString fromStd(const std::string& s) { return fromBytes(s); }

QString degreesText(double v, bool sign) {
  QString s = fromStd(formatNumber(std::round(v * 100) / 100));
  if (sign && v > 0) s.prepend(QLatin1Char('+'));
  return s;
}

QTableWidgetItem* numberItem(qlonglong n) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::DisplayRole, n);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

// The sky, scaled down (never up) to the room the widget has, with right
// ascension labels above it and declination labels at its left, drawn in
// the window's font so that they stay readable whatever the picture's size.
// Reports the picture's pixel under the pointer.
class SkyPicture : public QWidget {
 public:
  explicit SkyPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("SkyPicture");
    setMouseTracking(true);
    setMinimumSize(200, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }
  std::function<void(int x, int y)> onHover;  // picture pixel, -1 -1 when outside

  void setImage(const QImage& image) {
    image_ = image;
    update();
  }
  // Room for the sky between the labels.
  QRect room() const {
    const QFontMetrics fm(font());
    return rect().adjusted(fm.horizontalAdvance(QStringLiteral("-90")) + 8, fm.height() + 4,
                           -(fm.horizontalAdvance(QStringLiteral("24h")) / 2 + 2), -2);
  }
  QRect target() const {
    if (image_.isNull()) return {};
    const QRect r = room();
    QSize s = image_.size();
    if (s.width() > r.width() || s.height() > r.height()) s.scale(r.size(), Qt::KeepAspectRatio);
    return QRect(QPoint(r.left() + (r.width() - s.width()) / 2, r.top() + (r.height() - s.height()) / 2), s);
  }
  QPoint pixelAt(const QPoint& p) const {
    const QRect t = target();
    if (!t.contains(p)) return {-1, -1};
    return {(p.x() - t.x()) * image_.width() / t.width(), (p.y() - t.y()) * image_.height() / t.height()};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect t = target();
    if (t.isEmpty()) return;
    painter.drawImage(t, image_);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(t.adjusted(-1, -1, 0, 0));
    const QFontMetrics fm(font());
    // Every 2 hours where the labels have room, else every 3 or 6.
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("24h")) + fm.averageCharWidth() * 2;
    const int step = t.width() >= 13 * labelWidth ? 2 : t.width() >= 9 * labelWidth ? 3 : 6;
    for (int hour = 0; hour <= 24; hour += step) {
      const int x = t.left() + hour * t.width() / 24;
      const QString text = QStringLiteral("%1h").arg(hour);
      painter.drawLine(x, t.top() - 4, x, t.top() - 2);
      painter.drawText(QRect(x - labelWidth / 2, t.top() - 4 - fm.height(), labelWidth, fm.height()),
                       Qt::AlignHCenter | Qt::AlignBottom, text);
    }
    for (int dec = -90; dec <= 90; dec += 30) {
      const int y = t.top() + (90 - dec) * t.height() / 180;
      const QString text = dec > 0 ? QStringLiteral("+%1").arg(dec) : QString::number(dec);
      painter.drawLine(t.left() - 4, y, t.left() - 2, y);
      painter.drawText(QRect(0, y - fm.height() / 2, t.left() - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                       text);
    }
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    const QPoint px = pixelAt(event->position().toPoint());
    if (onHover) onHover(px.x(), px.y());
  }
  void leaveEvent(QEvent*) override {
    if (onHover) onHover(-1, -1);
  }

 private:
  QImage image_;
};

SkyPreviewWindow::SkyPreviewWindow(std::string directory, std::string baseName, FileSystem& fs, QWidget* parent)
    : QDialog(parent), directory_(std::move(directory)), baseName_(std::move(baseName)), fs_(fs) {
  setObjectName("SkyPreviewWindow");
  setWindowTitle(QStringLiteral("Sky preview"));
  setSizeGripEnabled(true);

  summary_ = new QLabel(this);
  summary_->setObjectName("SkySummary");
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::RichText);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("SkyTabs");
  auto* skyPage = new QWidget(tabs_);
  sky_ = new SkyPicture(skyPage);
  legend_ = new QLabel(skyPage);
  legend_->setObjectName("SkyLegend");
  legend_->setWordWrap(true);
  legend_->setTextFormat(Qt::RichText);
  hover_ = new QLabel(skyPage);
  hover_->setObjectName("SkyHover");
  hover_->setText(QStringLiteral("Point at the picture to see a region's records"));
  {
    auto* c = new QVBoxLayout(skyPage);
    c->setContentsMargins(2, 2, 2, 2);
    c->setSpacing(2);
    c->addWidget(sky_, 1);
    c->addWidget(legend_);
    c->addWidget(hover_);
  }
  tabs_->addTab(skyPage, QStringLiteral("Sky"));

  table_ = new QTableWidget(0, 5, tabs_);
  table_->setObjectName("RegionCounts");
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Region"), QStringLiteral("DEC (deg)"), QStringLiteral("RA (deg)"), QStringLiteral("Records"),
       QStringLiteral("Misplaced")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  tabs_->addTab(table_, QStringLiteral("Regions"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(4);
  column->addWidget(summary_);
  column->addWidget(tabs_, 1);
  column->addWidget(buttons);

  sky_->onHover = [this](int x, int y) {
    const QString text = describePixel(x, y);
    hover_->setText(text.isEmpty() ? QStringLiteral("Point at the picture to see a region's records") : text);
  };

  refit_ = new QTimer(this);
  refit_->setSingleShot(true);
  refit_->setInterval(250);
  connect(refit_, &QTimer::timeout, this, &SkyPreviewWindow::fitPicture);

  render(kFirstSkyWidth);
  fillSummary();
  fillTable();
  resize(800, 600);
}

SkyPreviewWindow::~SkyPreviewWindow() = default;

void SkyPreviewWindow::render(int skyWidth) {
  const CatalogReader reader(directory_, baseName_, fs_);
  SkyPreviewOptions options;
  options.skyWidth = skyWidth;
  // Labels and legend are the window's, in its own font.
  options.margins = false;
  const int magnitudeField = magnitudeFieldOf(reader.type());
  magnitudes_ = magnitudeField > 0 && reader.header().lengths[static_cast<std::size_t>(magnitudeField - 1)] == 2;
  longName_ = std::string(trimmed(reader.header().longName));
  auto preview = std::make_unique<SkyPreview>(previewCatalog(reader, fs_, options));
  const RgbImage image = preview->render();
  picture_ = QImage(image.data(), image.width(), image.height(), static_cast<qsizetype>(image.bytesPerLine()),
                    QImage::Format_RGB888)
                 .copy();
  preview_ = std::move(preview);
  skyWidth_ = skyWidth;
  sky_->setImage(picture_);
}

// The widest sky, in steps, that fits the picture's room unscaled.
int SkyPreviewWindow::fittingSkyWidth() const {
  const QRect room = sky_->room();
  const int fit = std::min(room.width(), 2 * room.height());
  return std::clamp(fit / kWidthStep * kWidthStep, kMinSkyWidth, kMaxSkyWidth);
}

void SkyPreviewWindow::fitPicture() {
  const int wanted = fittingSkyWidth();
  if (wanted == skyWidth_) return;
  try {
    render(wanted);
  } catch (const std::exception& e) {
    // The catalog changed on disk since the window opened: the old picture
    // stays, with the reason.
    hover_->setText(QString::fromLocal8Bit(e.what()));
  }
}

void SkyPreviewWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  refit_->start();
}

void SkyPreviewWindow::fillSummary() {
  const SkyPreview& p = *preview_;
  QString text = QStringLiteral("<b>%1</b> %2: %3 records in %4 regions")
                     .arg(fromStd(baseName_).toHtmlEscaped(), fromStd(longName_).toHtmlEscaped())
                     .arg(p.records())
                     .arg(p.scheme());
  if (p.emptyRegions() > 0)
    text += QStringLiteral(", <span style=\"color:#c00000\">%1 without a record</span>").arg(p.emptyRegions());
  if (p.misplaced() > 0)
    text += QStringLiteral(", <span style=\"color:#a45a00\">%1 records outside their region</span>").arg(p.misplaced());
  if (p.offSky() > 0)
    text += QStringLiteral(", <span style=\"color:#c00000\">%1 records off the sky</span>").arg(p.offSky());
  summary_->setText(text);

  auto swatch = [](Rgb c) {
    return QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span>")
        .arg(QColor(c.r, c.g, c.b).name());
  };
  QString legend = swatch(SkyPalette::kEmptyRegion) + QStringLiteral(" region without a record &nbsp; ") +
                   swatch(SkyPalette::kMisplacedRegion) + QStringLiteral(" file holds records of other regions");
  if (magnitudes_)
    legend += QStringLiteral("<br>Disc size by magnitude, from %1 (largest) to %2 (one pixel)")
                  .arg(fromStd(formatNumber(p.brightMagnitude())), fromStd(formatNumber(p.faintMagnitude())));
  legend_->setText(legend);
}

void SkyPreviewWindow::fillTable() {
  const std::vector<RegionCount>& counts = preview_->counts();
  table_->setSortingEnabled(false);
  table_->setRowCount(static_cast<int>(counts.size()));
  const QColor empty(244, 208, 208);
  const QColor misplaced(244, 226, 176);
  for (int row = 0; row < static_cast<int>(counts.size()); ++row) {
    const RegionCount& c = counts[static_cast<std::size_t>(row)];
    const RegionBounds b = regionBounds(preview_->scheme(), c.region);
    QTableWidgetItem* items[] = {
        numberItem(c.region),
        new QTableWidgetItem(degreesText(b.decLow, true) + QStringLiteral(" to ") + degreesText(b.decHigh, true)),
        new QTableWidgetItem(degreesText(b.raLow, false) + QStringLiteral(" to ") + degreesText(b.raHigh, false)),
        numberItem(c.records),
        numberItem(c.misplaced),
    };
    for (int col = 0; col < 5; ++col) {
      if (c.records == 0) items[col]->setBackground(empty);
      else if (c.misplaced > 0) items[col]->setBackground(misplaced);
      table_->setItem(row, col, items[col]);
    }
  }
  table_->setSortingEnabled(true);
  table_->sortByColumn(0, Qt::AscendingOrder);
  // After sorting, so that the header's sort mark has its room.
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);
}

QString SkyPreviewWindow::describePixel(int x, int y) const {
  const int region = preview_->regionAt(x, y);
  const std::optional<SkyPreview::SkyPoint> at = preview_->positionAt(x, y);
  if (region <= 0 || !at) return {};
  const RegionCount& c = preview_->counts()[static_cast<std::size_t>(region - 1)];
  QString text = QStringLiteral("Region %1: %2 record%3").arg(region).arg(c.records).arg(c.records == 1 ? "" : "s");
  if (c.misplaced > 0) text += QStringLiteral(" (%1 outside it)").arg(c.misplaced);
  text += QStringLiteral("   RA %1h = %2%3, DEC %4%3")
              .arg(fromStd(formatFixed(at->ra / 15, 2)), fromStd(formatFixed(at->ra, 1)), QString(QChar(0xB0)),
                   degreesText(std::round(at->dec * 10) / 10, true));
  return text;
}

}  // namespace mirdal
