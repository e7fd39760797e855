// The main window fMain: the input and playlist choice, the four commands, the stream check
// boxes that are the view of the run state's selection, the options, the console and the
// status bar. It drives the core's runs on the user-interface thread and is their RunHost.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "report/console.h"
#include "runs/command_rules.h"
#include "runs/run_settings.h"
#include "runs/run_state.h"
#include "runs/session.h"
#include "ui/settings_store.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTreeWidget;
class QToolButton;

namespace korvell {

class ConsoleView;
class StatusPanel;

class TfMain : public QMainWindow, public RunHost {
  Q_OBJECT

 public:
  static constexpr int kStreamBoxes = 40;  // 8 video, 16 audio, 16 subpicture

  /// The window works on `state`, which must outlive it.
  explicit TfMain(RunState& state, QWidget* parent = nullptr);
  ~TfMain() override;

  // Hooks, so that tests can answer the standard dialogs. Each may be left empty: a dialog is
  // then shown normally, and the question is a Yes/No message box.
  /// Runs a prepared file or folder dialog; returns the chosen path, or empty when dismissed.
  std::function<QString(QFileDialog&)> runFileDialog;
  /// Asks a Yes/No question; true is Yes. Cancel's question otherwise opens without blocking
  /// the run (cancelQuestionBox), so the run goes on, and its progress shows, until it is
  /// answered.
  std::function<bool(const QString&)> askQuestion;

  RunState& state() { return state_; }
  /// What a run started now would be given: the input, output folder, extensions, output
  /// forms, Auto clear and the follow-on run, as the widgets show them.
  RunSettings runSettings() const;
  bool busy() const { return busy_; }
  QString evoDir() const { return evoDir_; }
  QString xplDir() const { return xplDir_; }
  QString xplFileName() const { return xplName_; }
  QTreeWidget* xplTree() const { return tvXPL; }
  QPlainTextEdit* xplText() const { return mXPL; }
  /// Cancel's question while it is open, else null.
  QMessageBox* cancelQuestionBox() const { return cancelQuestion_; }

  // The settings record and the widgets: the only two places that map one onto the other.
  Settings settingsFromWidgets() const;
  void widgetsFromSettings(const Settings& settings);
  /// Loads the settings into the widgets (absent values leave their widget unchanged).
  void RegRead();
  /// Saves the widgets' settings.
  void RegWrite();

  // RunHost.
  void log(std::string_view message) override;
  void status(std::string_view text, int panel) override;
  void clearConsole() override;
  void processEvents() override;
  void repaint() override;
  void setCancelEnabled(bool enabled) override;
  void progress(int percent, std::optional<double> remainingSeconds) override;
  bool ask(std::string_view question) override;
  void runStarting(RunKind kind) override;
  void selectionChanged() override;
  void runFinished(RunKind kind) override;
  bool closing() const override { return closePending_; }

 public slots:
  void bbEVOClick();
  void bbXPLClick();
  void bbWorkdirClick();
  void bReadEVOClick();
  void bReadXPLClick();
  void bDemuxClick();
  void bRebuildClick();
  /// "Make MKV": the checked streams demuxed and muxed into one Matroska file by mkvmerge, as
  /// OUTPUTPREFIX.mkv (a "Save as" dialog when that file exists).
  void bMakeMkvClick();
  /// Cancel: a scan stops at once; during a demux, rebuild or mux the run's question
  /// (cancelQuestion) opens beside the run, which goes on until Yes stops it. A run that ends
  /// while the question is open ends as it would have: the question closes and the console
  /// says that nothing was stopped.
  void bCancelClick();
  void bClearClick();
  /// The click handler of every stream box: Demux is enabled when any box is checked; for an
  /// .EVO input, Rebuild follows it.
  void cbVideoClick();
  /// Every stream box disabled, unchecked and captioned "No video stream", "No audio stream"
  /// or "No subpicture"; the selection is cleared with them.
  void Resetcbs();
  /// After a source path is placed in eEVOfile: derive the folders and the playlist path.
  void EVOadj();
  /// After a playlist path is placed in eXPLfile: derive the folders.
  void XPLadj();
  /// A file dropped on the window or chosen otherwise: .EVO, .VOB, .AOB and disc images (.iso)
  /// become the input, .XPL the playlist; anything else is ignored. Ignored while a run is
  /// busy.
  void WMDropFiles(const QString& path);
  /// Sets the input path as a dialog or drop would (the field is read-only to the user), and
  /// fills the title list from the disc's IFO files (titlesForInput): for a .VOB the disc's
  /// titles with the one that starts in it chosen, for a disc image (opened in place,
  /// resolveInput) its titles with the first chosen, logging once why there is none. What was
  /// read for the previous source goes: the stream boxes, the playlist's title, chapters, tree
  /// and tag lines.
  void setSourcePath(const QString& path);
  /// A title chosen in cbTitle: the stream boxes of the last Read run belong to another
  /// title, so they are reset; with "Auto read" on the title is read, otherwise the status
  /// says "Press Read EVO to read title N".
  void cbTitleChange(int index);

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The 40 stream boxes in one array: video 0..7, audio 8..23, subpicture 24..39.
  static constexpr int kFirstAudioBox = 8;
  static constexpr int kFirstSubBox = 24;

  void buildWindow();
  QWidget* buildStatusPage();
  QWidget* buildBoxPage(const QString& name, const QString& hint, int first, int count,
                        int columns);
  QWidget* buildXplPage();
  QWidget* buildOptionsPage();
  QWidget* buildCommandRow();
  void connectOptions();
  void placeLogo();
  void slog(const QString& text, int panel);
  /// Shows the last playlist reading: its tag lines in mXPL and, when it found the title,
  /// the title's tree in tvXPL, which is widened to its labels until the user moves the
  /// splitter.
  void showPlaylist();
  /// The tree before any reading: the roots "Video", "Audio", "Subpicture", "Chapter".
  void resetXplTree();
  /// The size of a first start: the size hint, at least 800 × 600, within the screen.
  QSize firstStartSize() const;
  /// Runs `run` unless another run is busy; closes the window afterwards if that was asked
  /// for during the run.
  void runGuarded(const std::function<void()>& run);
  QString chooseFile(const QString& title, const QString& folder, const QStringList& filters,
                     const QString& fileName);
  bool anyBoxChecked() const;
  /// Shows the enabled state of the commands that rules_ holds.
  void showCommands();
  /// The selectable slot number of stream box `box`, or -1 for cbVideo2..7.
  static int slotOfBox(int box);
  /// cbTitle is enabled while it lists titles and no run is under way.
  void showTitleList();

  RunState& state_;
  // The source as the runs read it (a disc image in place), its titles (cbTitle lists them
  // after its first entry) and the playlist reading made for it.
  Session session_;
  bool busy_ = false;   // a run started by the window has not returned yet
  CommandRules rules_;  // which commands are enabled
  bool closePending_ = false;
  bool activated_ = false;
  int treeWidth_ = 96;
  bool treeWidthMoved_ = false;  // the user moved the splitter since the start
  QPointer<QMessageBox> cancelQuestion_;
  QString evoDir_;
  QString xplDir_;
  QString xplName_;

  QLineEdit* eEVOfile = nullptr;
  QToolButton* bbEVO = nullptr;
  QPushButton* bReadEVO = nullptr;
  QLineEdit* eXPLfile = nullptr;
  QToolButton* bbXPL = nullptr;
  QPushButton* bReadXPL = nullptr;
  QComboBox* cbTitle = nullptr;
  QTabWidget* PageControl = nullptr;
  QWidget* tsStatus = nullptr;
  QPushButton* bClear = nullptr;
  QCheckBox* cbAutoClear = nullptr;
  ConsoleView* reMessage = nullptr;
  std::array<QCheckBox*, kStreamBoxes> streamBoxes_{};
  QWidget* tsXPL = nullptr;
  QTreeWidget* tvXPL = nullptr;
  QSplitter* splXPL = nullptr;
  QPlainTextEdit* mXPL = nullptr;
  QLineEdit* eVideoExt = nullptr;
  QLineEdit* eAudioExt = nullptr;
  QLineEdit* eSubExt = nullptr;
  QCheckBox* cbCodecExt = nullptr;
  QComboBox* cmbLpcmAs = nullptr;
  QComboBox* cmbSubpicturesAs = nullptr;
  QLineEdit* eWorkdir = nullptr;
  QToolButton* bbWorkdir = nullptr;
  QRadioButton* rbAutoDemux = nullptr;
  QRadioButton* rbAutoRebuild = nullptr;
  QRadioButton* rbNoAuto = nullptr;
  QButtonGroup* autoGroup_ = nullptr;
  QCheckBox* cbContinue = nullptr;
  QCheckBox* cbFastCheck = nullptr;
  QCheckBox* cbCountFr = nullptr;
  QCheckBox* cbDetails = nullptr;
  QCheckBox* cbAutoRead = nullptr;
  QCheckBox* cbDelayNames = nullptr;
  QCheckBox* cbChapters = nullptr;
  QWidget* commandRow_ = nullptr;
  QPushButton* bDemux = nullptr;
  QLabel* imLogo = nullptr;
  QPushButton* bRebuild = nullptr;
  QPushButton* bMakeMkv = nullptr;
  QPushButton* bCancel = nullptr;
  StatusPanel* statusPanels_[2] = {nullptr, nullptr};
  QProgressBar* pbProgress = nullptr;  // beside the status texts while a run works
};

}  // namespace korvell
