#include "app/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>

#include "app/home_page.h"
#include "app/print_preview.h"
#include "app/progress_dialog.h"
#include "app/recorded_run.h"
#include "app/window_fonts.h"
#include "kirune/version.h"
#include "printing/cups_queue.h"
#include "printing/picture_image.h"
#include "printing/print_output.h"
#include "render/clip_art.h"
#include "render/picture_names.h"

namespace kirune {

namespace {

const QColor kBackground(34, 85, 136);
const QColor kText(Qt::white);
const QColor kTitle(255, 255, 0);
const QColor kPresetCaption(0, 128, 0);
const QColor kTilePresetCaption(0, 0, 255);
const QColor kShortTilePresetCaption(255, 0, 0);

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Runs `work` (a spooler call, under Kirune's time limits) on a thread of its own while the window
// keeps painting; the user's input waits until it is done.
template <typename Work>
auto whileTheWindowWaits(Work work) -> decltype(work()) {
  std::optional<decltype(work())> result;
  QEventLoop loop;
  std::thread worker([&] {
    result.emplace(work());
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return std::move(*result);
}

QPixmap pixmapOf(const ImageSet& images, std::string_view name) {
  const Picture* picture = images.find(name);
  return picture ? QPixmap::fromImage(toQImage(*picture)) : QPixmap();
}

void setTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget->setPalette(palette);
}

// Caption labels beside single controls; a click on one works the control, as on its own caption.
struct Caption {
  std::string_view name;
  std::string_view text;
  std::string_view control;  ///< the control it names; empty for a title
};
constexpr Caption kCaptions[] = {
    {"Label1", "作成枚数", "SpinEdit1"},
    {"Label34", "なまえ", "CheckBox1"},
    {"Label33", "PRINT", "CheckBox2"},
    {"Label32", "カット", "CheckBox3"},
    {"Label31", "カット一定", "CheckBox4"},
    {"Label16", "カット番号", "SpinEdit4"},
    {"Label30", "答え別紙出力", "CheckBox15"},
    {"Label29", "タイム書き込み欄", "CheckBox16"},
    {"PreviewLabel", "印刷前に確認", "PreviewBox"},
    {"Label44", "0", "CheckBox5"},
    {"Label45", "1", "CheckBox6"},
    {"Label46", "2", "CheckBox7"},
    {"Label47", "3", "CheckBox8"},
    {"Label48", "4", "CheckBox9"},
    {"Label49", "5", "CheckBox10"},
    {"Label50", "6", "CheckBox11"},
    {"Label51", "7", "CheckBox12"},
    {"Label52", "8", "CheckBox13"},
    {"Label53", "9", "CheckBox14"},
    {"Label35", "2", "CheckBox17"},
    {"Label36", "3", "CheckBox18"},
    {"Label37", "4", "CheckBox19"},
    {"Label38", "5", "CheckBox20"},
    {"Label39", "6", "CheckBox21"},
    {"Label40", "7", "CheckBox22"},
    {"Label41", "8", "CheckBox23"},
    {"Label42", "9", "CheckBox24"},
    {"Label43", "10", "CheckBox25"},
    {"Label55", "ゼロ", ""},
    {"Label57", "ゼロ", ""},
    {"Label58", "ゼロ", ""},
    {"Label59", "ゼロ", ""},
};

// Titles: bold yellow, not tied to a control.
struct Title {
  std::string_view name;
  std::string_view text;
};
constexpr Title kTitles[] = {
    {"Label24", "段の設定"},  {"Label28", "分解する数の設定"}, {"Label7", "タイルつき"},
    {"Label6", "タイルつき"}, {"Label68", "Form.Size"},
};

// The labels over the two items of each radio group.
struct RadioItemLabels {
  std::string_view control;
  std::string_view label[2];
};
constexpr RadioItemLabels kRadioItemLabels[] = {
    {"z1", {"Label60", "Label61"}}, {"z2", {"Label62", "Label63"}}, {"z3", {"Label64", "Label65"}},
    {"z4", {"Label66", "Label67"}}, {"trg", {"Label8", "Label54"}},
};

std::string_view itemLabelName(const Control& radio, int item) {
  for (const RadioItemLabels& r : kRadioItemLabels) {
    if (r.control == radio.name) return r.label[item];
  }
  return {};
}

// The window's controls of one kind, in the table's order.
std::vector<const Control*> controlsOfKind(ControlKind kind) {
  std::vector<const Control*> found;
  for (const Control& c : controls()) {
    if (c.kind == kind) found.push_back(&c);
  }
  return found;
}

constexpr int kCheckBoxSize = 17;
// Room a preset's caption keeps from each side of its button, the frame included.
constexpr int kCaptionMargin = 4;
constexpr int kRadioSize = 16;

void setUpCalendar(QCalendarWidget& calendar, const QFont& font) {
  calendar.setFirstDayOfWeek(Qt::Sunday);
  calendar.setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  calendar.setFont(font);
  // Japanese day names are one character each, so the narrow calendar shows them whole.
  calendar.setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
}

// Qt gives the header's month and year buttons a font of their own when it makes them, so a smaller
// calendar font leaves them large and cut off; they take the calendar's font, bold as Qt has them.
// (The names are the ones Qt's style sheet reference gives the header's parts.)
void fitCalendarHeader(QCalendarWidget& calendar, QFont font) {
  font.setBold(true);
  for (const char* name : {"qt_calendar_monthbutton", "qt_calendar_yearbutton"}) {
    if (auto* button = calendar.findChild<QToolButton*>(QLatin1String(name))) button->setFont(font);
  }
}

// The spin boxes' sizes before the layout gives them their font; they only ever grow from these.
constexpr QSize kSpinEdit1Size(45, 27);
constexpr QSize kSpinEdit4Size(49, 26);

// The spin box's size for four digits at its current font plus its arrows and frame, never less than
// `least`: the window's sizes were chosen for a small font, and a larger one must not cut digits off.
QSize fourDigitSize(const QSpinBox& spin, QSize least) {
  const QFontMetrics metrics(spin.font());
  // The line edit keeps a margin of two pixels each side of its text, and a pixel for the cursor.
  const int textWidth = metrics.horizontalAdvance(QStringLiteral("0000")) + 2 * 2 + 2;
  const auto* edit = spin.findChild<QLineEdit*>();
  const int textHeight = std::max(metrics.height(), edit ? edit->minimumSizeHint().height() : 0);
  QStyleOptionSpinBox option;
  option.initFrom(&spin);
  option.frame = spin.hasFrame();
  option.buttonSymbols = spin.buttonSymbols();
  option.subControls =
      QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
  option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
  const QSize needed =
      spin.style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(textWidth, textHeight), &spin);
  return needed.expandedTo(least);
}

// What the printer set-up dialog chooses, carried from one printer to another: the queue or the
// file, the paper and its margins, copies, both sides and colour.
void copyPrinterChoice(const QPrinter& from, QPrinter& to) {
  if (!from.printerName().isEmpty()) to.setPrinterName(from.printerName());
  to.setOutputFileName(from.outputFileName());
  to.setResolution(from.resolution());
  to.setFullPage(from.fullPage());
  to.setPageLayout(from.pageLayout());
  to.setCopyCount(from.copyCount());
  to.setCollateCopies(from.collateCopies());
  to.setDuplex(from.duplex());
  to.setColorMode(from.colorMode());
}

// Whether a dialog reached the screen while it ran.
class ShownWatch final : public QObject {
 public:
  explicit ShownWatch(QWidget& dialog) { dialog.installEventFilter(this); }
  bool seen() const { return seen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) seen_ = true;
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

// Qt's dialog names each queue by its CUPS name, which it also uses to find the queue again, so the
// name stays; the description the school gave it ("職員室プリンタ") shows as the item's tip.
void showQueueDescriptions(QPrintDialog& dialog) {
  for (auto* box : dialog.findChildren<QComboBox*>(QStringLiteral("printers"))) {
    for (int i = 0; i < box->count(); ++i) {
      const QString description = QPrinterInfo::printerInfo(box->itemText(i)).description();
      if (!description.isEmpty() && description != box->itemText(i))
        box->setItemData(i, description, Qt::ToolTipRole);
    }
    auto tip = [box] { box->setToolTip(box->currentData(Qt::ToolTipRole).toString()); };
    tip();
    QObject::connect(box, &QComboBox::currentIndexChanged, box, tip);
  }
}

// A ring of 3 pixels in orange around the control with the keyboard focus: on the blue window and on
// the white buttons alike it stands out, unlike the style's own 1-pixel light-blue line.
class FocusRing final : public QWidget {
 public:
  static constexpr int kWidth = 3;
  explicit FocusRing(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(QPen(QColor(255, 140, 0), kWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
  }
  void resizeEvent(QResizeEvent*) override {
    // Only the ring is drawn: the control inside it stays visible and clickable.
    const QRect outer = rect();
    setMask(QRegion(outer).subtracted(QRegion(outer.adjusted(kWidth, kWidth, -kWidth, -kWidth))));
  }
};

}  // namespace

TForm1::TForm1(const ImageSet& images, QPrinter& printer, PrintRunFactory printRuns, QWidget* parent)
    : QWidget(parent),
      session_(images, rng_),
      printer_(printer),
      controller_(session_, std::move(printRuns)) {
  setObjectName("TForm1");
  setWindowTitle(qs(kVersionLine));
  setWindowIcon(QIcon(pixmapOf(images, pictures::kWindowIcon)));
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kBackground);
  palette.setColor(QPalette::WindowText, kText);
  setPalette(palette);
  setFont(windowFont());
  createControls();
  createPresets();
  refreshFromSettings();
  focusRing_ = new FocusRing(this);
  focusWatch_ =
      connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { followFocus(now); });
  FormCreate();
}

TForm1::~TForm1() {
  // The children go after this body, moving the focus as they go: the window must no longer follow it.
  disconnect(focusWatch_);
}

template <typename W>
W* TForm1::add(std::string_view name, W* widget) {
  widget->setObjectName(qs(name));
  controls_.emplace(std::string(name), widget);
  return widget;
}

QLabel* TForm1::addLabel(std::string_view name, const QString& text, const QColor& colour, bool bold,
                         QWidget* parent) {
  auto* label = add(name, new QLabel(text, parent ? parent : this));
  label->setFont(windowFont(bold));
  setTextColour(label, colour);
  return label;
}

template <typename W>
W& TForm1::required(std::string_view name) const {
  W* widget = qobject_cast<W*>(control(name));
  if (!widget) {
    qFatal("TForm1 has no %s named %.*s", W::staticMetaObject.className(), static_cast<int>(name.size()),
           name.data());
  }
  return *widget;
}

QWidget* TForm1::control(std::string_view name) const {
  auto it = controls_.find(name);
  if (it != controls_.end()) return it->second;
  return presetButton(name);
}

QPushButton* TForm1::presetButton(std::string_view name) const {
  auto it = presetButtons_.find(name);
  return it == presetButtons_.end() ? nullptr : it->second;
}

QLabel* TForm1::rowTitle(int gridRow, int half) const {
  auto it = rowTitles_.find({gridRow, half});
  return it == rowTitles_.end() ? nullptr : it->second;
}

void TForm1::createControls() {
  const QPalette platformPalette = QApplication::palette();

  // Frames first: whatever is created later lies above them.
  auto* groupBox3 = add("GroupBox3", new QGroupBox(this));
  QFont frameFont(QString::fromUtf8(kFrameFontFamily));
  groupBox3->setFont(frameFont);
  for (const Control* r : controlsOfKind(ControlKind::RadioGroup)) {
    auto* frame = add(r->name, new QGroupBox(this));
    auto* group = new QButtonGroup(frame);
    radios_.push_back({r, frame, group, {}});
    for (int item = 0; item < 2; ++item) {
      auto* radio = new QRadioButton(frame);
      radio->setObjectName(qs(r->name) + QString::number(item));
      radio->setAccessibleName(qs(r->itemText[static_cast<std::size_t>(item)]));
      radio->setFixedSize(kRadioSize, kRadioSize);
      radio->setPalette(platformPalette);
      group->addButton(radio, item);
    }
    connect(group, &QButtonGroup::idClicked, this, [this, r](int id) { r->set(session_.settings, id); });
  }
  groupBox2_ = add("GroupBox2", new QGroupBox(QStringLiteral("作者HomePageへ"), this));
  setTextColour(groupBox2_, kText);
  groupBox2_->installEventFilter(this);
  label26_ = addLabel("Label26", qs(kHomePageOwner), kText, false, groupBox2_);
  label26_->move(10, 16);
  label26_->installEventFilter(this);

  auto* image4 = add("Image4", new QLabel(this));
  image4->setPixmap(pixmapOf(session_.images, pictures::kWindowIcon));
  image4->adjustSize();
  auto* calendar = add("Calendar1", new QCalendarWidget(this));
  setUpCalendar(*calendar, windowFont());
  calendar->setPalette(platformPalette);

  // The hidden count choice: placed by the layout, then hidden; it mirrors `mondaisuu`.
  auto* mondaisuu = add("mondaisuu", new QGroupBox(this));
  mondaisuuGroup_ = new QButtonGroup(mondaisuu);
  for (std::size_t item = 0; item < kMondaisuuItemCounts.size(); ++item) {
    auto* radio = new QRadioButton(QString::number(kMondaisuuItemCounts[item]), mondaisuu);
    radio->move(8, 8 + 16 * static_cast<int>(item));
    mondaisuuGroup_->addButton(radio, static_cast<int>(item));
  }

  // Settings column.
  const Control& sheets = *findControl("SpinEdit1");
  spinEdit1_ = add(sheets.name, new QSpinBox(this));
  spinEdit1_->setRange(sheets.min, sheets.max);
  spinEdit1_->setFixedSize(kSpinEdit1Size);
  spinEdit1_->setPalette(platformPalette);
  connect(spinEdit1_, &QSpinBox::valueChanged, this,
          [this, &sheets](int v) { sheets.set(session_.settings, v); });
  const Control& clipArt = *findControl("SpinEdit4");
  spinEdit4_ = add(clipArt.name, new QSpinBox(this));
  spinEdit4_->setRange(clipArt.min, clipArt.max);
  spinEdit4_->setFixedSize(kSpinEdit4Size);
  spinEdit4_->setPalette(platformPalette);
  connect(spinEdit4_, &QSpinBox::valueChanged, this, [this, &clipArt](int v) {
    clipArt.set(session_.settings, v);
    SpinEdit4Change(session_);
  });
  for (const Control* b : controlsOfKind(ControlKind::CheckBox)) {
    auto* box = add(b->name, new QCheckBox(this));
    box->setFixedSize(kCheckBoxSize, kCheckBoxSize);
    box->setPalette(platformPalette);
    connect(box, &QCheckBox::toggled, this, [this, b](bool on) { b->set(session_.settings, on ? 1 : 0); });
    boxes_.emplace_back(b, box);
  }
  // Not a setting of the sheets: whether a click shows its sheets before printing them.
  previewBox_ = add("PreviewBox", new QCheckBox(this));
  previewBox_->setFixedSize(kCheckBoxSize, kCheckBoxSize);
  previewBox_->setPalette(platformPalette);
  previewBox_->setToolTip(QStringLiteral("押したときに、印刷する用紙をまず画面で見せます"));
  for (const Caption& c : kCaptions) {
    auto* label = addLabel(c.name, qs(c.text), kText, false);
    if (c.control.empty()) continue;
    captionTargets_.emplace(label, &required(c.control));
    label->installEventFilter(this);
  }
  for (RadioControls& r : radios_) {
    for (int item = 0; item < 2; ++item) {
      QLabel* label = addLabel(itemLabelName(*r.control, item),
                               qs(r.control->itemText[static_cast<std::size_t>(item)]), kText, false);
      r.itemLabel[item] = label;
      // The item's text selects it, as a check box's caption works the box.
      captionTargets_.emplace(label, r.group->button(item));
      label->installEventFilter(this);
    }
  }
  for (const Title& t : kTitles) addLabel(t.name, qs(t.text), kTitle, true);
  label6_ = &required<QLabel>("Label6");
  label7_ = &required<QLabel>("Label7");
  addLabel("Label4", qs(kVersionLine), kTitle, false);

  auto addButton = [this](std::string_view name, const QString& text, auto handler) {
    auto* button = add(name, new QPushButton(text, this));
    button->setFont(windowFont());
    button->setPalette(QApplication::palette());
    connect(button, &QPushButton::clicked, this, handler);
    return button;
  };
  addButton("BitBtn167", QStringLiteral("大"), &TForm1::BitBtn167Click);
  addButton("BitBtn168", QStringLiteral("小"), &TForm1::BitBtn168Click);
  addButton("BitBtn169", QStringLiteral("初期値"), &TForm1::BitBtn169Click);
  auto* printerSetup = addButton("BitBtn25", QStringLiteral("プリンタ設定"), &TForm1::BitBtn25Click);
  printerSetup->setIcon(QIcon(pixmapOf(session_.images, pictures::kPrinterSetupIcon)));
  auto* closeButton = addButton("BitBtn44", QStringLiteral("閉じる(&C)"), &QWidget::close);
  closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  addButton("BitBtn115", QStringLiteral("全check"), &TForm1::BitBtn115Click);
  addButton("BitBtn116", QStringLiteral("全uncheck"), &TForm1::BitBtn116Click);
  addButton("BitBtn129", QStringLiteral("全check"), &TForm1::BitBtn129Click);
  addButton("BitBtn130", QStringLiteral("全uncheck"), &TForm1::BitBtn130Click);
  bitBtn128_ = addButton("BitBtn128", QString(), &TForm1::BitBtn128Click);
  bitBtn128_->setToolTip(QStringLiteral("使い方のページを開きます"));
}

void TForm1::createPresets() {
  // One loop over the preset table: caption, colour, tool tip and handler all come from its row.
  for (const Preset& preset : presets()) {
    auto* button = new QPushButton(qs(preset.caption), this);
    button->setObjectName(qs(preset.button));
    button->setFont(windowFont(true));
    QPalette palette = QApplication::palette();
    const CaptionStyle style = captionStyle(preset);
    palette.setColor(QPalette::ButtonText, style == CaptionStyle::ShortTiles ? kShortTilePresetCaption
                                           : style == CaptionStyle::Tiles    ? kTilePresetCaption
                                                                             : kPresetCaption);
    button->setPalette(palette);
    if (!preset.toolTip.empty()) button->setToolTip(qs(preset.toolTip));
    connect(button, &QPushButton::clicked, this, [this, p = &preset] { presetClick(*p); });
    presetButtons_.emplace(std::string(preset.button), button);

    const std::pair<int, int> key{preset.gridRow, preset.half};
    if (!rowTitles_.contains(key)) {
      auto* title = new QLabel(qs(preset.rowTitle), this);
      title->setFont(windowFont(true));
      setTextColour(title, kTitle);
      rowTitles_.emplace(key, title);
    }
  }
}

void TForm1::FormCreate() {
  windowScalePercent_ = kDefaultScalePercent;
  Button1Click();
}

void TForm1::Button1Click() {
  const QScreen* onScreen = screen();
  const int screenHeight = onScreen ? onScreen->geometry().height() : 768;
  layout_ = computeWindowLayout(screenHeight, windowScalePercent_);
  applyLayout();
}

void TForm1::applyLayout() {
  const WindowLayout& l = layout_;
  setFixedSize(l.clientWidth, l.clientHeight);

  for (const Placement& p : l.controls) {
    QWidget* w = &required(p.name);
    if (p.fontHeight) {
      QFont font = w->font();
      if (p.fontInPoints)
        font.setPointSize(std::max(1, *p.fontHeight));
      else
        setCellHeight(font, *p.fontHeight);
      w->setFont(font);
    }
    if (p.width && p.height)
      w->setGeometry(p.left, p.top, std::max(0, *p.width), std::max(0, *p.height));
    else
      w->move(p.left, p.top);
    if (auto* label = qobject_cast<QLabel*>(w); label && !p.width) label->adjustSize();
  }

  for (const Preset& preset : presets()) {
    const PresetPlacement* p = l.findPreset(preset.gridRow, preset.half, preset.slot);
    if (!p)
      qFatal("the layout has no place for %.*s", static_cast<int>(preset.button.size()),
             preset.button.data());
    QPushButton* button = presetButtons_.find(preset.button)->second;
    QFont font = button->font();
    setCellHeight(font, p->fontHeight);
    // The caption keeps the layout's font where it fits the button's face, and a smaller one where it
    // would be cut ("100" on a narrow button).
    const int room = p->width - 2 * kCaptionMargin;
    for (int cell = p->fontHeight; cell > 6 && QFontMetrics(font).horizontalAdvance(button->text()) > room;)
      setCellHeight(font, --cell);
    button->setFont(font);
    button->setGeometry(p->left, p->top, std::max(0, p->width), std::max(0, p->height));
  }
  for (const RowTitlePlacement& t : l.rowTitles) {
    QLabel* label = rowTitles_.at({t.gridRow, t.half});
    if (!t.name.empty() && !controls_.contains(t.name)) add(t.name, label);
    // A title stands above its row's buttons; on a small window its font shrinks so that the buttons
    // do not cover it.
    int buttonsTop = l.clientHeight;
    for (const PresetPlacement& p : l.presetButtons) {
      if (p.gridRow == t.gridRow) buttonsTop = std::min(buttonsTop, p.top);
    }
    QFont font = label->font();
    setCellHeight(font, t.fontHeight);
    label->setFont(font);
    label->adjustSize();
    for (int cell = t.fontHeight; cell > 6 && t.top + label->height() > buttonsTop;) {
      setCellHeight(font, --cell);
      label->setFont(font);
      label->adjustSize();
    }
    label->move(t.left, t.top);
  }

  spinEdit1_->setFixedSize(fourDigitSize(*spinEdit1_, kSpinEdit1Size));
  spinEdit4_->setFixedSize(fourDigitSize(*spinEdit4_, kSpinEdit4Size));

  // Each radio item sits just left of the text label laid over it. The first item's text shrinks where
  // it would run into the second item (its dot and text) on a large window.
  for (const RadioControls& r : radios_) {
    QLabel* first = r.itemLabel[0];
    const QLabel* second = r.itemLabel[1];
    const QRect next(second->x() - kRadioSize - 2 - 2, second->y(), second->width() + kRadioSize + 4,
                     second->height());
    QFont font = first->font();
    for (int cell = QFontMetrics(font).height(); first->geometry().intersects(next) && cell > 6;) {
      setCellHeight(font, --cell);
      first->setFont(font);
      first->adjustSize();
    }
    for (int item = 0; item < 2; ++item) {
      const QLabel* text = r.itemLabel[item];
      QAbstractButton* radio = r.group->button(item);
      const QPoint at(text->x() - kRadioSize - 2, text->y() + (text->height() - kRadioSize) / 2);
      radio->move(at - r.frame->pos());
    }
  }

  fitCalendar();

  drawBanner();

  orderTabs();

  for (std::string_view name : l.hiddenAfterLayout) required(name).hide();
  for (std::string_view name : l.raiseOrder) required(name).raise();
  // The item texts lie above their frames too, so that a click on a text reaches it.
  for (const RadioControls& r : radios_) {
    for (QLabel* text : r.itemLabel) text->raise();
  }
  // The focused control has moved with the new size: its ring goes with it.
  followFocus(QApplication::focusWidget());
}

void TForm1::orderTabs() {
  // The controls Tab reaches: the window's own, and the items of its radio groups.
  std::vector<QWidget*> stops;
  for (QWidget* w : findChildren<QWidget*>()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || w == focusRing_) continue;
    QWidget* parent = w->parentWidget();
    const bool own = parent == this;
    const bool radioItem = qobject_cast<QRadioButton*>(w) && qobject_cast<QGroupBox*>(parent) &&
                           parent->parentWidget() == this && parent != controls_.at("mondaisuu");
    if (own || radioItem) stops.push_back(w);
  }
  const int settingsLeft = layout_.find("BitBtn167") ? layout_.find("BitBtn167")->left : width();
  auto key = [this, settingsLeft](const QWidget* w) {
    const QPoint at = w->mapTo(this, QPoint(0, 0));
    // Controls of one row share a band of half a row unit, so a caption a few pixels higher stays in it.
    const int band = std::max(1, layout_.R / 2);
    return std::tuple(at.x() >= settingsLeft, at.y() / band, at.x());
  };
  std::stable_sort(stops.begin(), stops.end(),
                   [&key](const QWidget* a, const QWidget* b) { return key(a) < key(b); });
  for (std::size_t i = 1; i < stops.size(); ++i) setTabOrder(stops[i - 1], stops[i]);
}

void TForm1::followFocus(QWidget* now) {
  if (!now || now->window() != this || now == this) {
    focusRing_->hide();
    return;
  }
  // A spin box's or the calendar's inner part has the focus: the ring goes round the whole control.
  QWidget* control = now;
  while (control->parentWidget() && control->parentWidget() != this &&
         !qobject_cast<QGroupBox*>(control->parentWidget()))
    control = control->parentWidget();
  const int w = FocusRing::kWidth;
  focusRing_->setGeometry(QRect(control->mapTo(this, QPoint(0, 0)), control->size()).adjusted(-w, -w, w, w));
  focusRing_->raise();
  focusRing_->show();
}

void TForm1::fitCalendar() {
  // The calendar keeps the window's 16-pixel font where its box has room for it, and a smaller one
  // where it has not, so every day of the month stays readable on a small screen.
  // A calendar that has had a larger font reports stale size hints, so each size is measured on a
  // fresh one set up alike.
  auto& calendar = required<QCalendarWidget>("Calendar1");
  QFont font = calendar.font();
  for (int cell = 16; cell >= 6; --cell) {
    setCellHeight(font, cell);
    QCalendarWidget probe;
    setUpCalendar(probe, font);
    fitCalendarHeader(probe, font);
    const QSize needed = probe.minimumSizeHint();
    if (needed.width() <= calendar.width() && needed.height() <= calendar.height()) break;
  }
  calendar.setFont(font);
  fitCalendarHeader(calendar, font);
}

void TForm1::drawBanner() {
  // The banner picture with the owner's name beside it, drawn at the button's font and fitted into the
  // button, so the name stays readable at every window size.
  QPushButton* button = bitBtn128_;
  const QPixmap picture = pixmapOf(session_.images, pictures::kBanner);
  const int height = std::max(button->height() - 8, 8);
  const QPixmap scaled =
      picture.isNull() ? QPixmap() : picture.scaledToHeight(height, Qt::SmoothTransformation);
  const QFont font = button->font();
  const QString name = qs(kHomePageOwner);
  const int gap = height / 4;
  const int textWidth = QFontMetrics(font).horizontalAdvance(name);
  QPixmap banner(scaled.width() + gap + textWidth, height);
  banner.fill(Qt::transparent);
  {
    QPainter painter(&banner);
    painter.drawPixmap(0, 0, scaled);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(QRect(scaled.width() + gap, 0, textWidth, height), Qt::AlignVCenter | Qt::AlignLeft,
                     name);
  }
  const QSize room(std::max(button->width() - 10, 8), height);
  button->setIcon(QIcon(banner));
  button->setIconSize(banner.size().scaled(room, Qt::KeepAspectRatio));
}

void TForm1::centreOnScreen() {
  const QScreen* onScreen = screen();
  if (!onScreen) return;
  const QRect area = onScreen->availableGeometry();
  const QRect frame = frameGeometry();
  move(area.left() + (area.width() - frame.width()) / 2, area.top() + (area.height() - frame.height()) / 2);
}

void TForm1::showCentred() {
  centreOnScreen();
  show();
}

void TForm1::BitBtn167Click() {
  windowScalePercent_ = BitBtn167Percent(windowScalePercent_);
  Button1Click();
  centreOnScreen();
}

void TForm1::BitBtn168Click() {
  windowScalePercent_ = BitBtn168Percent(windowScalePercent_);
  Button1Click();
  centreOnScreen();
}

void TForm1::BitBtn169Click() {
  windowScalePercent_ = BitBtn169Percent(windowScalePercent_);
  Button1Click();
  centreOnScreen();
}

void TForm1::BitBtn25Click() {
  // Qt's dialog asks the spooler about every printer, with no time limit of its own: it opens only
  // when the spooler answers within Kirune's limit (asked off the window's thread).
  const QueueStatus spooler = whileTheWindowWaits([] { return checkQueue({}); });
  if (spooler.state == QueueState::Stalled || spooler.state == QueueState::Lost) {
    QMessageBox::warning(this, qs(kApplicationName),
                         QStringLiteral("印刷のしくみ（CUPS）が答えないので、プリンタ設定を開けません。"
                                        "少し待ってから、もう一度押してください。"));
    return;
  }
  // Qt's dialog writes into the printer it is handed while it is built, on every change of its
  // printer list and on its own accept. It gets a copy: the application's printer changes only when
  // the teacher saw the dialog and pressed 設定.
  QPrinter choice(QPrinter::HighResolution);
  copyPrinterChoice(printer_, choice);
  // A printer made bound to no queue (the spooler did not answer at start) is offered the default.
  if (choice.printerName().isEmpty() && choice.outputFileName().isEmpty() && !spooler.queue.empty())
    choice.setPrinterName(QString::fromStdString(spooler.queue));
  QPrintDialog dialog(&choice, this);
  dialog.setWindowTitle(QStringLiteral("プリンタ設定"));
  // The dialog only chooses the printer; printing is a preset's click. Its confirm button says so.
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("設定"));
  }
  showQueueDescriptions(dialog);
  ShownWatch shown(dialog);
  const int result = dialog.exec();
  if (!shown.seen()) {
    QMessageBox::warning(this, qs(kApplicationName),
                         QStringLiteral("プリンタ設定の画面を開けませんでした。プリンタはこれまでのままです。"
                                        "もう一度押してください。"));
    return;
  }
  if (result == QDialog::Accepted) copyPrinterChoice(choice, printer_);
}

void TForm1::setAllBoxes(bool on, bool decomposition) {
  if (decomposition) {
    for (auto field : Settings::decomposeBoxes) session_.settings.*field = on;
  } else {
    for (auto field : Settings::timesRowBoxes) session_.settings.*field = on;
  }
  refreshFromSettings();
}

void TForm1::BitBtn115Click() { setAllBoxes(true, false); }
void TForm1::BitBtn116Click() { setAllBoxes(false, false); }
void TForm1::BitBtn129Click() { setAllBoxes(true, true); }
void TForm1::BitBtn130Click() { setAllBoxes(false, true); }

void TForm1::BitBtn128Click() {
  const QString guide = userGuidePath();
  if (guide.isEmpty()) {
    QMessageBox::warning(this, qs(kApplicationName),
                         QStringLiteral("使い方のページが見つかりません。もう一度入れ直してください。"));
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(guide))) {
    QMessageBox::warning(
        this, qs(kApplicationName),
        QStringLiteral("使い方のページを開けませんでした。\n%1").arg(QDir::toNativeSeparators(guide)));
  }
}

void TForm1::GroupBox2Click() { BitBtn128Click(); }

void TForm1::Label26Click() { BitBtn128Click(); }

void TForm1::refreshFromSettings() {
  const Settings& s = session_.settings;
  for (const auto& [control, box] : boxes_) {
    const QSignalBlocker block(box);
    box->setChecked(control->get(s) != 0);
  }
  for (const RadioControls& r : radios_) {
    if (QAbstractButton* item = r.group->button(r.control->get(s))) item->setChecked(true);
  }
  if (QAbstractButton* item = mondaisuuGroup_->button(s.mondaisuu())) item->setChecked(true);
  for (auto [spin, value] : {std::pair{spinEdit1_, s.SpinEdit1}, std::pair{spinEdit4_, s.SpinEdit4}}) {
    const QSignalBlocker block(spin);
    spin->setValue(value);
  }
  refreshTileTitles();
}

namespace {

QString idleMessage(PrintReport::Idle idle, int sheets) {
  using Idle = PrintReport::Idle;
  switch (idle) {
    case Idle::NoTimesRow:
      return QStringLiteral("段を一つ以上選んでください。");
    case Idle::NoDecomposeNumber:
      return QStringLiteral("分解する数を一つ以上選んでください。");
    case Idle::PrintSwitchOff:
      return QStringLiteral("「カット」にチェックがないので印刷しません。");
    case Idle::NoSheets:
      return QStringLiteral("作成枚数が%1です。1枚以上にしてください。").arg(sheets);
    case Idle::None:
      break;
  }
  return {};
}

}  // namespace

bool TForm1::confirmLargeRun(const Preset& preset) {
  const std::int64_t pages = plannedDocuments(preset, session_.settings);
  const int copies = std::max(1, printer_.copyCount());
  if (pages <= 0 || pages * copies <= kConfirmAboveDocuments) return true;
  const int sheets = session_.settings.SpinEdit1;
  const QString count = session_.settings.CheckBox15
                            ? QStringLiteral("%1枚（答え別紙を含め%2ページ）").arg(sheets).arg(pages)
                            : QStringLiteral("%1枚").arg(sheets);
  const QString copiesUnused =
      copies > 1 ? QStringLiteral("部数（%1部）はファイルには使われません。").arg(copies) : QString();
  QString question;
  // Where the sheets will go: the file the set-up chose, the folder of a computer without a printer,
  // or the printer, which makes every copy.
  if (const QString file = printer_.outputFileName(); !file.isEmpty()) {
    const QString folder = QFileInfo(file).absolutePath();
    const QString where = QDir(folder) == QDir::home()
                              ? QStringLiteral("ホームフォルダ")
                              : QStringLiteral("フォルダ %1 ").arg(QDir::toNativeSeparators(folder));
    question =
        QStringLiteral("%1を%2の %3 から保存します。%4よろしいですか？")
            .arg(count, where, PrintOutput::firstFileName(file, static_cast<int>(pages)), copiesUnused);
  } else {
    const std::string queue = printer_.printerName().toStdString();
    const QueueStatus status = whileTheWindowWaits([&queue] { return checkQueue(queue); });
    if (status.state == QueueState::NoSpooler || status.state == QueueState::NoPrinter) {
      question = QStringLiteral(
                     "プリンタが使えないので、%1を1つのPDFファイルにして %2 に保存します。%3よろしいですか？")
                     .arg(count, QDir::toNativeSeparators(PrintOutput::fallbackRoot()), copiesUnused);
    } else if (copies > 1) {
      question = QStringLiteral("%1を%2部ずつ、あわせて%3ページ印刷します。よろしいですか？")
                     .arg(count)
                     .arg(copies)
                     .arg(pages * copies);
    } else {
      question = QStringLiteral("%1を印刷します。よろしいですか？").arg(count);
    }
  }
  QMessageBox box(QMessageBox::Question, qs(kApplicationName), question, QMessageBox::Yes | QMessageBox::No,
                  this);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void TForm1::refreshTileTitles() {
  // The engines' Label6/Label7 flags are the old program's busy signs, which hid both titles for good
  // after the first print; on screen they are the titles of the two tile columns and always stand.
  label6_->show();
  label7_->show();
}

void TForm1::presetClick(const Preset& preset) {
  // A click that arrives between two documents of a run is dropped, and leaves the window as the run has it.
  if (controller_.running()) return;
  if (!confirmLargeRun(preset)) return;
  PrintReport report;
  {
    // The progress dialog goes before the report, so the report stands alone.
    PrintProgressDialog progress(progressDelayMs_, this);
    progress_ = &progress;
    PrintController::PreviewConfirm preview;
    if (previewBox_->isChecked())
      preview = [this](const RecordedRun& run) { return confirmInPreview(run, printer_, this); };
    report = controller_.run(
        preset, progress,
        // The window stays disabled until the run is over, the spooler's answers included: a click
        // while it follows the jobs would open the printer set-up inside the run.
        [this](bool enabled) {
          refreshFromSettings();
          if (!enabled) setEnabled(false);
        },
        preview);
  }
  progress_ = nullptr;
  refreshFromSettings();
  setEnabled(true);
  if (closeAfterRun_) {
    close();
    return;
  }
  showReport(report);
}

void TForm1::showReport(const PrintReport& report) {
  using Fault = PrintReport::Fault;
  switch (report.fault) {
    case Fault::None:
      break;
    case Fault::Undelivered: {
      // The output's own message already says which sheets went out and which did not.
      QMessageBox box(QMessageBox::Warning, qs(kApplicationName),
                      QStringLiteral("印刷できませんでした。\n") + report.message, QMessageBox::Ok, this);
      box.exec();
      break;
    }
    case Fault::Printer:
      reportFailure(QStringLiteral("印刷できませんでした。"), report.failedSheet, report.documentsExpected,
                    report.message, true);
      break;
    case Fault::Unexpected:
      reportFailure(QStringLiteral("印刷の途中で思わぬエラーが起きました。"), report.failedSheet,
                    report.documentsExpected, report.message, false);
      break;
  }
  QString text;
  if (report.status == PrintReport::Status::NothingPrinted)
    text = idleMessage(report.idle, session_.settings.SpinEdit1);
  const bool toFiles = !report.savedNotice.isEmpty();
  if (report.status == PrintReport::Status::Cancelled && toFiles) {
    // The saved-files notice below says how many were saved.
    text = QStringLiteral("保存を中止しました。");
  } else if (report.status == PrintReport::Status::Cancelled) {
    // Counted as the spooler completed them, as 作成枚数 counts; with answers, the paper is twice as
    // much, as the saved files say.
    text = QStringLiteral("印刷を中止しました。作成枚数%1枚のうち%2枚")
               .arg(report.sheetsExpected)
               .arg(report.sheetsPrinted);
    if (report.sheetsExpected != report.documentsExpected)
      text += QStringLiteral("（答えの用紙とあわせて%1枚）").arg(report.documentsPrinted);
    text += QStringLiteral("を印刷しました。");
    if (report.documentsUnknown > 0) {
      text += QStringLiteral("ほかに%1枚は、印刷されたかどうかわかりません。プリンタで確かめてください。")
                  .arg(report.documentsUnknown);
    }
  }
  if (!report.savedNotice.isEmpty()) {
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += report.savedNotice;
  }
  // A run of more than one sheet to a printer ends with a word of where it went.
  if (report.status == PrintReport::Status::Delivered && !toFiles && !report.queue.isEmpty() &&
      report.sheetsExpected > 1) {
    const std::string queue = report.queue.toStdString();
    const QueueStatus status = whileTheWindowWaits([&queue] { return checkQueue(queue); });
    const QString name =
        status.description.empty() ? report.queue : QString::fromStdString(status.description);
    QString count = QStringLiteral("%1枚").arg(report.sheetsPrinted);
    if (report.copies > 1) count += QStringLiteral("（各%1部）").arg(report.copies);
    text = QStringLiteral("%1をプリンタ「%2」で印刷しました。").arg(count, name);
  }
  if (!text.isEmpty()) reportDone(text, report.savedNotice.isEmpty() ? QString() : report.savedFolder);
}

void TForm1::reportDone(const QString& text, const QString& folder) {
  QMessageBox box(QMessageBox::Information, qs(kApplicationName), text, QMessageBox::Ok, this);
  // Enter dismisses the message; opening the folder takes a click of its own.
  QPushButton* open =
      folder.isEmpty() ? nullptr : box.addButton(QStringLiteral("フォルダを開く"), QMessageBox::ActionRole);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  if (open && box.clickedButton() == open && !QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
    QMessageBox::warning(
        this, qs(kApplicationName),
        QStringLiteral("フォルダを開けませんでした。\n保存先: %1").arg(QDir::toNativeSeparators(folder)));
  }
}

void TForm1::reportFailure(const QString& what, int sheet, int sheets, const QString& detail,
                           bool printerFault) {
  // The printing layer words its faults in Japanese for the user; anything else goes behind "details".
  QString text = what + QLatin1Char('\n');
  if (printerFault && !detail.isEmpty()) text += detail + QLatin1Char('\n');
  if (sheet > 0)
    text += QStringLiteral("%1 枚のうち %2 枚目で止まりました。").arg(sheets).arg(sheet);
  else
    text += QStringLiteral("1 枚目を始める前に止まりました。");
  text += QStringLiteral("\nプリンタの電源と用紙を確かめて、もう一度押してください。");
  QMessageBox box(QMessageBox::Warning, qs(kApplicationName), text, QMessageBox::Ok, this);
  if (!printerFault) box.setDetailedText(detail);
  box.exec();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Closing mid-run would pull the session from under the engine: the run stops at the next sheet
  // (a sheet's answers kept with it, as 中止 does) and the window closes once it has.
  if (controller_.running()) {
    event->ignore();
    if (closeAfterRun_) return;
    // No parent: the window is disabled for the run, and a child would be disabled with it.
    QMessageBox box(QMessageBox::Question, qs(kApplicationName),
                    QStringLiteral("印刷を中止して終了しますか？"), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes || !controller_.running()) return;
    closeAfterRun_ = true;
    if (progress_) progress_->requestCancel();
    return;
  }
  QWidget::closeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && widget && widget->rect().contains(mouse->position().toPoint())) {
      if (widget == groupBox2_) {
        GroupBox2Click();
        return true;
      }
      if (widget == label26_) {
        Label26Click();
        return true;
      }
      if (auto it = captionTargets_.find(widget); it != captionTargets_.end()) {
        if (auto* button = qobject_cast<QAbstractButton*>(it->second))
          button->click();
        else
          it->second->setFocus();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kirune
