#include "ui/main_window.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include "report/display_text.h"
#include "report/markup.h"
#include "report/text_format.h"
#include "runs/demux_run.h"
#include "runs/file_set.h"
#include "runs/mkv_run.h"
#include "runs/read_run.h"
#include "runs/rebuild_run.h"
#include "runs/run_support.h"
#include "runs/titles_run.h"
#include "ui/console_view.h"
#include "ui/status_panel.h"

namespace korvell {

namespace {

// The open dialog's filters: every kind Korvell reads, then each kind alone, both cases of
// each extension (the dialog matches case-sensitively on some platforms).
QStringList sourceFilters() {
  QStringList patterns;
  QStringList filters;
  for (const ProgramStreamKind& kind : kProgramStreamKinds) {
    const QString upper = QStringLiteral("*") + QString::fromLatin1(kind.extension);
    const QString both = upper.toLower() + QLatin1Char(' ') + upper;
    patterns << both;
    filters << QString::fromLatin1(kind.description) + QStringLiteral(" (") + both +
                   QLatin1Char(')');
  }
  patterns << QStringLiteral("*.iso *.ISO");
  filters << QStringLiteral("Disc images (*.iso *.ISO)");
  filters.prepend(QStringLiteral("All supported file (") + patterns.join(QLatin1Char(' ')) +
                  QLatin1Char(')'));
  return filters;
}

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string str(const QString& text) {
  return text.toStdString();
}

// The form a list shows, and the list showing a form (a list holds its choices in order).
template <typename Form, size_t N>
Form shownForm(const std::array<FormChoice<Form>, N>& choices, const QComboBox* list) {
  return choices[static_cast<size_t>(std::clamp(list->currentIndex(), 0, static_cast<int>(N) - 1))]
      .form;
}

template <typename Form, size_t N>
void showForm(const std::array<FormChoice<Form>, N>& choices, Form form, QComboBox* list) {
  for (size_t i = 0; i < N; ++i) {
    if (choices[i].form == form) list->setCurrentIndex(static_cast<int>(i));
  }
}

}  // namespace

int TfMain::slotOfBox(int box) {
  if (box < kVideoSlots) return box;
  if (box < kFirstAudioBox) return -1;  // cbVideo2..7: no slot feeds them
  if (box < kFirstSubBox) return slotNumber({Family::Audio, box - kFirstAudioBox});
  return slotNumber({Family::Subpicture, box - kFirstSubBox});
}

bool TfMain::anyBoxChecked() const {
  return std::any_of(streamBoxes_.begin(), streamBoxes_.end(),
                     [](const QCheckBox* box) { return box->isChecked(); });
}

void TfMain::showCommands() {
  const std::pair<QWidget*, Command> commands[] = {
      {bReadEVO, Command::ReadEvo}, {bReadXPL, Command::ReadXpl}, {bDemux, Command::Demux},
      {bRebuild, Command::Rebuild}, {bMakeMkv, Command::MakeMkv}, {bbEVO, Command::BrowseEvo},
      {bbXPL, Command::BrowseXpl}};
  for (const auto& [widget, command] : commands)
    widget->setEnabled(rules_.enabled(command));
}

void TfMain::cbVideoClick() {
  // While a run is under way its own end decides the commands; a box changed at a 4 MiB
  // point does not re-enable Demux in the middle of it.
  rules_.selectionChanged(anyBoxChecked(), session_.path(), session_.chosenTitle() != nullptr);
  showCommands();
}

void TfMain::showTitleList() {
  cbTitle->setEnabled(!session_.titles().empty() && !rules_.running());
}

void TfMain::cbTitleChange(int index) {
  if (busy_) return;
  session_.chooseTitle(index - 1);
  // Rebuild follows the boxes for a title only: without one a .VOB never enables it.
  rules_.setEnabled(Command::Rebuild, false);
  Resetcbs();
  if (cbAutoRead->isChecked()) {
    bReadEVOClick();
    return;
  }
  const Title* title = session_.chosenTitle();
  slog(title != nullptr
           ? QStringLiteral("Press Read EVO to read title %1").arg(title->number)
           : QStringLiteral("Press Read EVO to read ") + QFileInfo(eEVOfile->text()).fileName(),
       1);
}

void TfMain::Resetcbs() {
  state_.selection.reset();
  selectionChanged();
  cbVideoClick();
}

void TfMain::selectionChanged() {
  for (int box = 0; box < kStreamBoxes; ++box) {
    QCheckBox* check = streamBoxes_[box];
    const int slot = slotOfBox(box);
    const bool selected = slot >= 0 && state_.selection.selected[slot];
    check->setChecked(selected);
    check->setEnabled(selected);
    // cbVideo2..7 have no slot and so always show the reset caption.
    check->setText(slot >= 0 ? qs(state_.selection.streamLabel[slot])
                             : QString::fromLatin1(emptyBoxCaption(Family::Video)));
  }
}

void TfMain::setSourcePath(const QString& path) {
  eEVOfile->setText(QDir::toNativeSeparators(path));
  // A new source forgets what was read for the previous one: the playlist's title, chapters,
  // tree and tag lines (the session forgets them as it opens the source), and the stream boxes
  // (Rebuild with them).
  resetXplTree();
  mXPL->clear();
  rules_.setEnabled(Command::Rebuild, false);
  // A disc image is opened in place; what cannot be read of it is said once, here.
  if (const Status opened = session_.open(str(eEVOfile->text())); !opened.ok()) {
    logError(escapeMarkup(opened.reason()));
  }
  Resetcbs();
  const std::vector<std::string> notes = session_.offerTitles(cbContinue->isChecked());
  while (cbTitle->count() > 1)
    cbTitle->removeItem(1);
  for (const Title& title : session_.titles())
    cbTitle->addItem(qs(titleCaption(title)));
  // An image is a disc, not a file to read: only its titles can be chosen.
  if (auto* model = qobject_cast<QStandardItemModel*>(cbTitle->model())) {
    model->item(0)->setEnabled(!session_.titlesOnly());
  }
  cbTitle->setCurrentIndex(session_.chosenIndex() + 1);
  showTitleList();
  for (const std::string& note : notes)
    log(note);
}

void TfMain::EVOadj() {
  const std::string path = str(eEVOfile->text());
  rules_.setEnabled(Command::ReadEvo, !path.empty());
  evoDir_ = qs(folderPart(path));
  // The playlist field names a playlist only once one is found for this source: the disc's
  // own beside HVDVD_TS, when it is there.
  eXPLfile->clear();
  xplName_.clear();
  const std::string playlistFolder = session_.playlistFolder();
  if (!playlistFolder.empty()) xplDir_ = qs(playlistFolder);  // the dialog starts there
  if (const std::string playlist = session_.discPlaylist(); !playlist.empty()) {
    xplName_ = qs(namePart(playlist));
    eXPLfile->setText(qs(playlist));
  }
  rules_.setEnabled(Command::ReadXpl, !xplName_.isEmpty());
  showCommands();
}

void TfMain::XPLadj() {
  const std::string path = str(eXPLfile->text());
  xplName_ = qs(namePart(path));
  xplDir_ = qs(folderPart(path));
  rules_.setEnabled(Command::ReadXpl, !xplName_.isEmpty());
  showCommands();
  const std::string sourceFolder = discSourceFolder(folderPart(path));
  if (!sourceFolder.empty()) evoDir_ = qs(sourceFolder);
}

QString TfMain::chooseFile(const QString& title, const QString& folder, const QStringList& filters,
                           const QString& fileName) {
  QFileDialog dialog(this, title, folder);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // The filters show their names only; their patterns list both cases, because file
  // names on a disc are upper case and folders on Linux compare case-sensitively.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(filters);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  if (runFileDialog) return runFileDialog(dialog);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void TfMain::bbEVOClick() {
  if (busy_) return;
  const QString path = chooseFile(QStringLiteral("Choose the EVO file to demux"), evoDir_,
                                  sourceFilters(), QString());
  if (path.isEmpty()) return;  // dismissed: nothing changes
  setSourcePath(path);
  EVOadj();
  if (bReadEVO->isEnabled()) bReadEVO->setFocus();
  if (cbAutoRead->isChecked()) bReadEVOClick();
}

void TfMain::bbXPLClick() {
  if (busy_) return;
  const QString path =
      chooseFile(QString(), xplDir_, {QStringLiteral("XPL (VPLST000.XPL)")}, xplName_);
  if (path.isEmpty()) return;
  eXPLfile->setText(QDir::toNativeSeparators(path));
  XPLadj();
  if (cbAutoRead->isChecked()) bReadXPLClick();
}

void TfMain::bbWorkdirClick() {
  QFileDialog dialog(this, QStringLiteral("Select a directory"), eWorkdir->text());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  const QString folder = runFileDialog                        ? runFileDialog(dialog)
                         : dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0)
                                                              : QString();
  if (!folder.isEmpty()) eWorkdir->setText(QDir::toNativeSeparators(folder));
}

RunSettings TfMain::runSettings() const {
  RunSettings settings;
  session_.applyTo(settings, str(eWorkdir->text()));
  settings.videoExt = str(eVideoExt->text());
  settings.audioExt = str(eAudioExt->text());
  settings.subExt = str(eSubExt->text());
  settings.autoClear = cbAutoClear->isChecked();
  settings.delayNames = cbDelayNames->isChecked();
  settings.writeChapters = cbChapters->isChecked();
  settings.lpcmForm = shownForm(kLpcmForms, cmbLpcmAs);
  settings.subpictureForm = shownForm(kSubpictureForms, cmbSubpicturesAs);
  settings.codecExtensions = cbCodecExt->isChecked();
  settings.followOn = rbAutoDemux->isChecked()     ? FollowOn::Demux
                      : rbAutoRebuild->isChecked() ? FollowOn::Rebuild
                                                   : FollowOn::None;
  return settings;
}

void TfMain::runGuarded(const std::function<void()>& run) {
  if (busy_) return;
  busy_ = true;
  run();
  busy_ = false;
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void TfMain::bReadEVOClick() {
  if (busy_ || eEVOfile->text().isEmpty()) return;
  runGuarded([this] { readRun(state_, *this, runSettings()); });
}

void TfMain::bDemuxClick() {
  if (busy_ || eEVOfile->text().isEmpty()) return;
  runGuarded([this] { demuxRun(state_, *this, runSettings()); });
}

void TfMain::bRebuildClick() {
  if (busy_ || eEVOfile->text().isEmpty() ||
      !rebuildTakes(session_.path(), session_.chosenTitle() != nullptr)) {
    return;
  }
  runGuarded([this] { rebuildRun(state_, *this, runSettings()); });
}

void TfMain::bMakeMkvClick() {
  if (busy_ || eEVOfile->text().isEmpty()) return;
  runGuarded([this] {
    // Without mkvmerge nothing is demuxed; the console says so.
    if (!mkvmergeAvailable(realLauncher(), *this)) return;
    const RunSettings settings = runSettings();
    MkvRequest request;
    request.outputPath = defaultMkvPath(settings, state_.options.Continue);
    if (QFileInfo::exists(qs(request.outputPath))) {
      QFileDialog dialog(this, QStringLiteral("Save as"), qs(request.outputPath),
                         QStringLiteral("Matroska files (*.mkv)"));
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.selectFile(qs(request.outputPath));
      const QString chosen = runFileDialog                        ? runFileDialog(dialog)
                             : dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0)
                                                                  : QString();
      if (chosen.isEmpty()) return;  // dismissed: nothing is written
      request.outputPath = str(QDir::toNativeSeparators(chosen));
    }
    // The playlist's names and chapters, when Read XPL chose a title for this source.
    request.playlistTitle = session_.playlistTitle();
    mkvRun(state_, *this, settings, request);
  });
}

void TfMain::bReadXPLClick() {
  if (busy_ || eXPLfile->text().isEmpty()) return;
  runGuarded([this] {
    mXPL->clear();
    mXPL->hide();
    // The title is the one that plays the chosen file itself (FEATURE_1), also when the last
    // Read run continued on FEATURE_2.
    session_.readPlaylist(state_, *this, str(eXPLfile->text()));
    showPlaylist();
  });
}

void TfMain::showPlaylist() {
  const PlaylistResult& playlist = session_.playlist();
  QStringList lines;
  for (const auto& line : playlist.lines)
    lines << QString::fromStdString(displayUtf8(line));
  mXPL->setPlainText(lines.join(QLatin1Char('\n')));
  mXPL->show();
  if (!playlist.titleFound) return;
  tvXPL->clear();
  const std::function<void(QTreeWidgetItem*, const PlaylistNode&)> add =
      [&add](QTreeWidgetItem* item, const PlaylistNode& node) {
        for (const auto& child : node.children) {
          auto* childItem = new QTreeWidgetItem(
              item, QStringList{QString::fromStdString(displayUtf8(child.text))});
          add(childItem, child);
        }
      };
  for (const auto& root : playlist.tree.roots) {
    auto* item =
        new QTreeWidgetItem(tvXPL, QStringList{QString::fromStdString(displayUtf8(root.text))});
    add(item, root);
  }
  tvXPL->expandAll();
  if (treeWidthMoved_) return;
  // Wide enough for the labels, while the tag lines keep at least a third of the page.
  const QAbstractItemView* view = tvXPL;  // where the measure of a column is public
  const int labels = view->sizeHintForColumn(0) + 2 * tvXPL->frameWidth() +
                     tvXPL->verticalScrollBar()->sizeHint().width();
  const int room = splXPL->width() * 2 / 3;
  if (labels > treeWidth_ && room > treeWidth_) {
    treeWidth_ = std::min(labels, room);
    splXPL->setSizes({treeWidth_, std::max(50, splXPL->width() - treeWidth_)});
  }
}

void TfMain::resetXplTree() {
  tvXPL->clear();
  for (const char* root : {"Video", "Audio", "Subpicture", "Chapter"}) {
    tvXPL->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromLatin1(root)}));
  }
}

void TfMain::bCancelClick() {
  const std::string question = cancelQuestion(state_);
  if (question.empty() || askQuestion) {
    requestCancel(state_, *this);  // a scan stops at once; a test answers on the spot
    return;
  }
  if (cancelQuestion_) return;  // it is open already
  auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("HD DVD Korvell"), qs(question),
                              QMessageBox::Yes | QMessageBox::No, this);
  box->setObjectName(QStringLiteral("CancelQuestion"));
  box->setDefaultButton(QMessageBox::No);
  box->setAttribute(Qt::WA_DeleteOnClose);
  cancelQuestion_ = box;
  // The run goes on meanwhile; runFinished closes the question of a run that has ended.
  connect(box, &QMessageBox::finished, this, [this, box] {
    const bool yes = box->standardButton(box->clickedButton()) == QMessageBox::Yes;
    cancelQuestion_ = nullptr;
    if (yes && rules_.running()) confirmCancel(state_, *this);
  });
  box->open();
}

void TfMain::bClearClick() {
  reMessage->clearLines();
}

void TfMain::WMDropFiles(const QString& path) {
  if (busy_ || path.isEmpty()) return;
  const NamedFileRole role = namedFileRole(str(path));
  if (role == NamedFileRole::Source) {
    setSourcePath(path);
    EVOadj();
    if (cbAutoRead->isChecked()) bReadEVOClick();
  } else if (role == NamedFileRole::Playlist) {
    eXPLfile->setText(QDir::toNativeSeparators(path));
    XPLadj();
    if (cbAutoRead->isChecked()) bReadXPLClick();
  }
}

void TfMain::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!busy_ && !urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void TfMain::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;  // only the first file counts
  WMDropFiles(urls.first().toLocalFile());
}

void TfMain::keyPressEvent(QKeyEvent* event) {
  // Read EVO is the window's default command.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && bReadEVO->isEnabled()) {
    bReadEVO->click();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

bool TfMain::event(QEvent* event) {
  // Settings are loaded at the first activation only: a later activation (after any dialog,
  // the Cancel question included) would throw away options changed since and reset the
  // boxes of a run under way.
  if (event->type() == QEvent::WindowActivate && !activated_) {
    activated_ = true;
    RegRead();
    if (!busy_) Resetcbs();
    const QString point = QLocale().decimalPoint();
    state_.options.decimalSeparator = point.size() == 1 ? point.at(0).toLatin1() : '.';
    if (state_.options.decimalSeparator == '\0') state_.options.decimalSeparator = '.';
  }
  return QMainWindow::event(event);
}

void TfMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  setAcceptDrops(true);
  splXPL->setSizes({treeWidth_, std::max(50, splXPL->width() - treeWidth_)});
}

void TfMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  placeLogo();
}

void TfMain::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // Stop the run (and with closing() any follow-on run); the run closes its files, and the
    // window closes once it has returned.
    state_.stop.request(StopReason::Closing);
    closePending_ = true;
    event->ignore();
    return;
  }
  // A window that never became active never loaded the settings: saving its defaults would
  // overwrite the user's.
  if (activated_) RegWrite();
  event->accept();
}

Settings TfMain::settingsFromWidgets() const {
  Settings s;
  const bool maximised = isMaximized();
  s.windowState = isMinimized() ? 1 : maximised ? 2 : 0;
  if (!maximised) {  // a maximised window keeps the normal bounds saved before
    const QRect frame = frameGeometry();
    s.top = frame.top();
    s.left = frame.left();
    s.width = frame.width();
    s.height = frame.height();
  }
  s.treeWidth = treeWidth_;
  s.audioExt = eAudioExt->text();
  s.videoExt = eVideoExt->text();
  s.subExt = eSubExt->text();
  s.workdir = eWorkdir->text();
  s.evoDir = evoDir_;
  s.xplDir = xplDir_;
  s.continueOn = cbContinue->isChecked();
  s.fastCheck = cbFastCheck->isChecked();
  s.countFrames = cbCountFr->isChecked();
  s.details = cbDetails->isChecked();
  s.autoRead = cbAutoRead->isChecked();
  s.autoDemux = rbAutoDemux->isChecked();
  s.autoRebuild = rbAutoRebuild->isChecked();
  s.autoClear = cbAutoClear->isChecked();
  s.delayNames = cbDelayNames->isChecked();
  s.writeChapters = cbChapters->isChecked();
  s.lpcmAs = shownForm(kLpcmForms, cmbLpcmAs);
  s.subpicturesAs = shownForm(kSubpictureForms, cmbSubpicturesAs);
  s.codecExtensions = cbCodecExt->isChecked();
  return s;
}

void TfMain::widgetsFromSettings(const Settings& s) {
  // Width and Height are outer sizes; the frame is whatever the window system adds.
  const QSize frameExtra = frameGeometry().size() - size();
  if (s.width || s.height) {
    resize(s.width ? *s.width - frameExtra.width() : width(),
           s.height ? *s.height - frameExtra.height() : height());
  }
  if (s.top || s.left) move(s.left.value_or(x()), s.top.value_or(y()));
  if (s.windowState) {
    // A stored minimised state opens normal: a program that starts hidden looks broken.
    if (*s.windowState == 2) {
      setWindowState(windowState() | Qt::WindowMaximized);
    } else {
      setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    }
  }
  if (s.treeWidth) {
    treeWidth_ = std::max(50, *s.treeWidth);
    splXPL->setSizes({treeWidth_, std::max(50, splXPL->width() - treeWidth_)});
  }
  if (s.audioExt) eAudioExt->setText(*s.audioExt);
  if (s.videoExt) eVideoExt->setText(*s.videoExt);
  if (s.subExt) eSubExt->setText(*s.subExt);
  if (s.workdir) eWorkdir->setText(*s.workdir);
  if (s.evoDir) evoDir_ = *s.evoDir;
  if (s.xplDir) xplDir_ = *s.xplDir;
  if (s.continueOn) cbContinue->setChecked(*s.continueOn);
  if (s.fastCheck) cbFastCheck->setChecked(*s.fastCheck);
  if (s.countFrames) cbCountFr->setChecked(*s.countFrames);
  if (s.details) cbDetails->setChecked(*s.details);
  if (s.autoRead) cbAutoRead->setChecked(*s.autoRead);
  // One radio group: the later value wins, and "No auto process" when neither is on.
  if (s.autoRebuild.value_or(false)) {
    rbAutoRebuild->setChecked(true);
  } else if (s.autoDemux.value_or(false)) {
    rbAutoDemux->setChecked(true);
  } else if (s.autoDemux || s.autoRebuild) {
    rbNoAuto->setChecked(true);
  }
  if (s.autoClear) cbAutoClear->setChecked(*s.autoClear);
  if (s.delayNames) cbDelayNames->setChecked(*s.delayNames);
  if (s.writeChapters) cbChapters->setChecked(*s.writeChapters);
  if (s.lpcmAs) showForm(kLpcmForms, *s.lpcmAs, cmbLpcmAs);
  if (s.subpicturesAs) showForm(kSubpictureForms, *s.subpicturesAs, cmbSubpicturesAs);
  if (s.codecExtensions) cbCodecExt->setChecked(*s.codecExtensions);
}

void TfMain::RegRead() {
  widgetsFromSettings(SettingsStore::load());
}

void TfMain::RegWrite() {
  SettingsStore::save(settingsFromWidgets());
}

void TfMain::log(std::string_view message) {
  reMessage->log(qs(message));
}

void TfMain::status(std::string_view text, int panel) {
  slog(qs(text), panel);
}

void TfMain::slog(const QString& text, int panel) {
  const int index = panel == 0 ? 0 : 1;
  statusPanels_[index]->setPanelText(text);
  if (index == 1) statusBar()->setToolTip(text);
}

void TfMain::clearConsole() {
  reMessage->clearLines();
}

void TfMain::processEvents() {
  QApplication::processEvents(QEventLoop::AllEvents);
}

void TfMain::repaint() {
  QWidget::repaint();
}

void TfMain::setCancelEnabled(bool enabled) {
  bCancel->setEnabled(enabled);
}

void TfMain::progress(int percent, std::optional<double> remainingSeconds) {
  pbProgress->setValue(percent);
  pbProgress->setFormat(remainingSeconds
                            ? QStringLiteral("%p%, ") + qs(clockText(*remainingSeconds, false)) +
                                  QStringLiteral(" left")
                            : QStringLiteral("%p%"));
  pbProgress->repaint();  // the run keeps the user-interface thread busy
}

bool TfMain::ask(std::string_view question) {
  if (askQuestion) return askQuestion(qs(question));
  return QMessageBox::question(this, QStringLiteral("HD DVD Korvell"), qs(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TfMain::runStarting(RunKind kind) {
  rules_.runStarting(kind);
  showCommands();
  showTitleList();
  PageControl->setCurrentWidget(kind == RunKind::Playlist ? tsXPL : tsStatus);
  if (kind != RunKind::Playlist) {
    pbProgress->setValue(0);
    pbProgress->setFormat(QStringLiteral("%p%"));
    pbProgress->show();
  }
}

void TfMain::runFinished(RunKind kind) {
  // Demux follows the selection, and Rebuild too for an .EVO input or a DVD title (a .VOB
  // read as a file never enables it).
  rules_.runFinished(kind, anyBoxChecked(), session_.path(), session_.chosenTitle() != nullptr);
  showCommands();
  showTitleList();
  pbProgress->hide();
  if (cancelQuestion_) {
    cancelQuestion_->close();  // no answer: the run it asked about is over
    log("The run ended before Cancel was answered: nothing was stopped.");
  }
}

}  // namespace korvell
