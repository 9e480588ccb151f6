#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/print_controller.h"
#include "app/window_layout.h"
#include "printing/print_run.h"
#include "problems/controls.h"
#include "problems/random.h"
#include "render/image_set.h"
#include "render/page_canvas.h"
#include "render/presets.h"
#include "render/session.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPrinter;
class QPushButton;
class QSpinBox;

namespace kirune {

class PrintProgressDialog;

/// The main window: every setting as a control, the 159 preset buttons, the size buttons and the
/// auxiliary commands. It owns the session (settings, pool, random generator) for the whole run; the
/// widgets and `Session::settings` are kept in step both ways.
class TForm1 : public QWidget {
  Q_OBJECT

 public:
  /// `printer` is the application's one printer: the printer set-up dialog changes it, and `printRuns`
  /// (a fresh output per preset click) is expected to print on it; tests print to files instead.
  TForm1(const ImageSet& images, QPrinter& printer, PrintRunFactory printRuns, QWidget* parent = nullptr);
  ~TForm1() override;

  Session& session() { return session_; }
  const Settings& settings() const { return session_.settings; }
  int windowScalePercent() const { return windowScalePercent_; }
  const WindowLayout& layout() const { return layout_; }
  bool printing() const { return controller_.running(); }

  /// Shows the window centred on its screen.
  void showCentred();

  /// Runs of more than this many documents are confirmed before they start.
  static constexpr int kConfirmAboveDocuments = 100;

  /// A run longer than this shows the progress dialog; 500 ms unless changed.
  void setProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }

  /// The control of that name ("CheckBox15", "BitBtn13", "Label26" ...), or nullptr when there is none.
  QWidget* control(std::string_view name) const;
  /// The preset button of that name, or nullptr.
  QPushButton* presetButton(std::string_view name) const;
  /// The label carrying the row title of a grid row and half, or nullptr.
  QLabel* rowTitle(int gridRow, int half) const;

  // Commands of the window, named after their controls.
  void FormCreate();
  void Button1Click();
  void BitBtn167Click();
  void BitBtn168Click();
  void BitBtn169Click();
  void BitBtn25Click();
  void BitBtn115Click();
  void BitBtn116Click();
  void BitBtn129Click();
  void BitBtn130Click();
  void BitBtn128Click();
  void GroupBox2Click();
  void Label26Click();
  /// The handler of every preset button: the print controller runs the preset, the window shows what
  /// came of it.
  void presetClick(const Preset& preset);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createPresets();
  template <typename W>
  W* add(std::string_view name, W* widget);
  /// The control of that name and type; a name the window does not have is a defect and stops the program.
  template <typename W = QWidget>
  W& required(std::string_view name) const;
  QLabel* addLabel(std::string_view name, const QString& text, const QColor& colour, bool bold,
                   QWidget* parent = nullptr);
  void applyLayout();
  void drawBanner();
  void fitCalendar();
  void centreOnScreen();
  void refreshFromSettings();
  void setAllBoxes(bool on, bool decomposition);
  void reportFailure(const QString& what, int sheet, int sheets, const QString& detail, bool printerFault);
  /// What came of a click, in words: why nothing was printed, that the run was cancelled, where the
  /// files went.
  void showReport(const PrintReport& report);
  /// An information message; with a folder, also a button that opens it.
  void reportDone(const QString& text, const QString& folder);
  /// Asks once before a run of more than kConfirmAboveDocuments documents; false: print nothing.
  bool confirmLargeRun(const Preset& preset);
  void refreshTileTitles();
  /// Tab goes through the controls as they are read: the preset area row by row, left to right, then
  /// the settings column from the top.
  void orderTabs();
  /// Draws the focus ring around the control that has the keyboard focus.
  void followFocus(QWidget* now);

  /// A two-item radio group of the settings: its frame, its buttons and the text labels over the items.
  struct RadioControls {
    const Control* control = nullptr;
    QGroupBox* frame = nullptr;
    QButtonGroup* group = nullptr;
    QLabel* itemLabel[2] = {nullptr, nullptr};
  };

  Random rng_;
  Session session_;
  QPrinter& printer_;
  PrintController controller_;
  PrintProgressDialog* progress_ = nullptr;  ///< the run's, while one goes
  bool closeAfterRun_ = false;               ///< the window was closed during the run
  int windowScalePercent_ = kDefaultScalePercent;
  int progressDelayMs_ = 500;
  WindowLayout layout_;

  // The controls the window works itself, typed; the bound ones in the order of the table of controls.
  QSpinBox* spinEdit1_ = nullptr;
  QSpinBox* spinEdit4_ = nullptr;
  QCheckBox* previewBox_ = nullptr;
  std::vector<std::pair<const Control*, QCheckBox*>> boxes_;
  std::vector<RadioControls> radios_;
  QButtonGroup* mondaisuuGroup_ = nullptr;
  QLabel* label6_ = nullptr;
  QLabel* label7_ = nullptr;
  QGroupBox* groupBox2_ = nullptr;
  QLabel* label26_ = nullptr;
  QPushButton* bitBtn128_ = nullptr;
  QWidget* focusRing_ = nullptr;
  QMetaObject::Connection focusWatch_;
  std::map<const QWidget*, QWidget*> captionTargets_;  ///< caption label -> the control it names

  // Every control by name, for the layout (which names its controls) and for tests.
  std::map<std::string, QWidget*, std::less<>> controls_;
  std::map<std::string, QPushButton*, std::less<>> presetButtons_;
  std::map<std::pair<int, int>, QLabel*> rowTitles_;
};

}  // namespace kirune
