// How the main window is laid out: its controls, their names, captions, hints and defaults,
// and the hand-placed command row whose logo follows the window width.
#include "ui/main_window.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "korvell_version.h"
#include "runs/file_set.h"
#include "ui/console_view.h"
#include "ui/logo.h"
#include "ui/status_panel.h"

namespace korvell {

namespace {

constexpr int kClientWidth = 352;
constexpr int kClientHeight = 380;
constexpr int kCommandRowHeight = 44;
constexpr int kFirstStartWidth = 800;
constexpr int kFirstStartHeight = 600;
constexpr int kFrameAllowance = 16;
constexpr int kProgressWidth = 180;
constexpr int kLogoHalfWidth = 63;
constexpr int kLogoFixedLeft = 153;
constexpr int kLogoFixedUpTo = 432;  // window width up to which the logo stays at 153
constexpr const char* kReadyHint = "Select or drop an EVO file to demux";

QToolButton* browseButton(const QString& name, const QString& hint, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
  return button;
}

QPushButton* commandButton(const QString& name, const QString& text, const QString& hint,
                           QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  if (!hint.isEmpty()) button->setToolTip(hint);
  button->setEnabled(false);
  return button;
}

QCheckBox* optionBox(const QString& name, const QString& text, const QString& hint,
                     QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(name);
  box->setChecked(true);
  if (!hint.isEmpty()) box->setToolTip(hint);
  return box;
}

template <typename Form, size_t N>
QComboBox* formList(const QString& name, const QString& hint,
                    const std::array<FormChoice<Form>, N>& choices, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->setToolTip(hint);
  for (const FormChoice<Form>& choice : choices)
    list->addItem(QString::fromLatin1(choice.caption));
  return list;
}

QLineEdit* extensionField(const QString& name, const QString& text, QWidget* parent) {
  auto* field = new QLineEdit(text, parent);
  field->setObjectName(name);
  field->setMaxLength(static_cast<int>(kMaxExtensionLength));
  field->setFixedWidth(48);
  return field;
}

}  // namespace

TfMain::TfMain(RunState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
  setObjectName(QStringLiteral("fMain"));
  setWindowTitle(QStringLiteral("HD DVD Korvell " KORVELL_VERSION));
  QFont windowFont = font();
  windowFont.setFamily(QStringLiteral("Tahoma"));
  windowFont.setPointSize(8);
  setFont(windowFont);
  buildWindow();
  connectOptions();
  setMinimumSize(kClientWidth, kClientHeight);
  resize(firstStartSize());  // stored bounds replace it at the first activation
}

QSize TfMain::firstStartSize() const {
  QSize size = sizeHint().expandedTo(QSize(kFirstStartWidth, kFirstStartHeight));
  if (const QScreen* shown = screen()) {
    // The frame the window system adds is not known before the window is shown.
    size = size.boundedTo(shown->availableSize() - QSize(kFrameAllowance, 2 * kFrameAllowance));
  }
  return size.expandedTo(minimumSize());
}

TfMain::~TfMain() = default;

void TfMain::buildWindow() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 0);
  layout->setSpacing(4);

  auto* files = new QGridLayout;
  files->setHorizontalSpacing(4);
  eEVOfile = new QLineEdit(central);
  eEVOfile->setObjectName(QStringLiteral("eEVOfile"));
  eEVOfile->setReadOnly(true);
  eEVOfile->setFocusPolicy(Qt::ClickFocus);
  eEVOfile->setToolTip(QStringLiteral("Drop here the source EVO file"));
  eEVOfile->setWhatsThis(QStringLiteral("You cannot write here directly"));
  bbEVO = browseButton(QStringLiteral("bbEVO"), QStringLiteral("Browse an EVO file"), central);
  bReadEVO = commandButton(QStringLiteral("bReadEVO"), QStringLiteral("Read EVO"),
                           QStringLiteral("Read the source EVO file to detect streams"), central);
  bReadEVO->setDefault(true);
  eXPLfile = new QLineEdit(central);  // empty until a playlist is found for the source
  eXPLfile->setObjectName(QStringLiteral("eXPLfile"));
  eXPLfile->setPlaceholderText(QStringLiteral("No playlist: drop or browse one"));
  eXPLfile->setReadOnly(true);
  eXPLfile->setFocusPolicy(Qt::ClickFocus);
  eXPLfile->setToolTip(QStringLiteral("Drop here the VPLST000.XPL"));
  bbXPL = browseButton(QStringLiteral("bbXPL"),
                       QStringLiteral("Browse the HD DVD disc's VPLST000.XPL"), central);
  bReadXPL = commandButton(QStringLiteral("bReadXPL"), QStringLiteral("Read XPL"),
                           QStringLiteral("Read the XPL file to detect stream infos"), central);
  files->addWidget(eEVOfile, 0, 0);
  files->addWidget(bbEVO, 0, 1);
  files->addWidget(bReadEVO, 0, 2);
  files->addWidget(eXPLfile, 1, 0);
  files->addWidget(bbXPL, 1, 1);
  files->addWidget(bReadXPL, 1, 2);
  cbTitle = new QComboBox(central);
  cbTitle->setObjectName(QStringLiteral("cbTitle"));
  cbTitle->setToolTip(
      QStringLiteral("The DVD title to read: its cells in play order, as the "
                     "disc's IFO files describe it"));
  cbTitle->addItem(QStringLiteral("No title: the file and its set"));
  cbTitle->setEnabled(false);
  files->addWidget(cbTitle, 2, 0, 1, 3);
  layout->addLayout(files);

  PageControl = new QTabWidget(central);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  // Six tabs in the narrowest window: tighter tabs than the style's own.
  PageControl->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
  PageControl->addTab(buildStatusPage(), QStringLiteral("Status"));
  PageControl->addTab(
      buildBoxPage(QStringLiteral("tsVideo"), QStringLiteral("Check the desired video stream"), 0,
                   kFirstAudioBox, 1),
      QStringLiteral("Video"));
  PageControl->addTab(
      buildBoxPage(QStringLiteral("tsAudio"), QStringLiteral("Check the desired audio streams"),
                   kFirstAudioBox, kAudioSlots, 2),
      QStringLiteral("Audio"));
  PageControl->addTab(buildBoxPage(QStringLiteral("tsSubpicture"),
                                   QStringLiteral("Check the desired subpicture streams"),
                                   kFirstSubBox, kSubSlots, 2),
                      QStringLiteral("Subpicture"));
  PageControl->addTab(buildXplPage(), QStringLiteral("XPL"));
  PageControl->addTab(buildOptionsPage(), QStringLiteral("Options"));
  PageControl->setCurrentWidget(tsStatus);
  layout->addWidget(PageControl, 1);
  layout->addWidget(buildCommandRow());
  setCentralWidget(central);

  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(false);
  statusPanels_[0] = new StatusPanel(QStringLiteral("StatusPanel0"), 40, bar);
  statusPanels_[1] = new StatusPanel(QStringLiteral("StatusPanel1"), 50, bar);
  statusPanels_[0]->setText(QStringLiteral(" Ready"));
  statusPanels_[1]->setText(QStringLiteral(" ") + QString::fromLatin1(kReadyHint));
  bar->addWidget(statusPanels_[0]);
  bar->addWidget(statusPanels_[1], 1);  // the last panel reaches to the end of the bar
  pbProgress = new QProgressBar(bar);
  pbProgress->setObjectName(QStringLiteral("pbProgress"));
  pbProgress->setRange(0, 100);
  pbProgress->setFixedWidth(kProgressWidth);
  pbProgress->hide();  // shown while a run works
  bar->addPermanentWidget(pbProgress);
  bar->setToolTip(QStringLiteral(" ") + QString::fromLatin1(kReadyHint));
}

QWidget* TfMain::buildStatusPage() {
  tsStatus = new QWidget;
  tsStatus->setObjectName(QStringLiteral("tsStatus"));
  auto* layout = new QVBoxLayout(tsStatus);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* row = new QHBoxLayout;
  bClear = new QPushButton(QStringLiteral("Clear"), tsStatus);
  bClear->setObjectName(QStringLiteral("bClear"));
  cbAutoClear = new QCheckBox(QStringLiteral("Auto clear"), tsStatus);
  cbAutoClear->setObjectName(QStringLiteral("cbAutoClear"));
  row->addWidget(bClear);
  row->addWidget(cbAutoClear);
  row->addStretch(1);
  layout->addLayout(row);
  reMessage = new ConsoleView(tsStatus);
  reMessage->setObjectName(QStringLiteral("reMessage"));
  layout->addWidget(reMessage, 1);
  connect(bClear, &QPushButton::clicked, this, &TfMain::bClearClick);
  return tsStatus;
}

QWidget* TfMain::buildBoxPage(const QString& name, const QString& hint, int first, int count,
                              int columns) {
  auto* page = new QWidget;
  page->setObjectName(name);
  page->setToolTip(hint);
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setVerticalSpacing(2);
  const int rows = count / columns;
  for (int i = 0; i < count; ++i) {
    const int box = first + i;
    QString objectName;
    QString caption;
    if (box < kFirstAudioBox) {
      objectName = QStringLiteral("cbVideo%1").arg(i);
      caption = QStringLiteral("Video stream");
    } else if (box < kFirstSubBox) {
      objectName = QStringLiteral("cbAudio%1").arg(i, 2, 10, QLatin1Char('0'));
      caption = QStringLiteral("Audio stream");
    } else {
      objectName = QStringLiteral("cbSub%1").arg(i, 2, 10, QLatin1Char('0'));
      caption = QStringLiteral("Subpicture");
    }
    auto* check = new QCheckBox(caption, page);
    check->setObjectName(objectName);
    check->setEnabled(false);
    grid->addWidget(check, i % rows, i / rows);
    streamBoxes_[box] = check;
    connect(check, &QCheckBox::clicked, this, [this, box](bool checked) {
      const int slot = slotOfBox(box);
      if (slot >= 0) state_.selection.selected[slot] = checked;  // read live by a busy walker
      cbVideoClick();
    });
  }
  grid->setRowStretch(rows, 1);
  return page;
}

QWidget* TfMain::buildXplPage() {
  tsXPL = new QWidget;
  tsXPL->setObjectName(QStringLiteral("tsXPL"));
  auto* layout = new QVBoxLayout(tsXPL);
  layout->setContentsMargins(2, 2, 2, 2);
  splXPL = new QSplitter(Qt::Horizontal, tsXPL);
  splXPL->setObjectName(QStringLiteral("splXPL"));
  splXPL->setChildrenCollapsible(false);
  tvXPL = new QTreeWidget(splXPL);
  tvXPL->setObjectName(QStringLiteral("tvXPL"));
  tvXPL->setToolTip(QStringLiteral("Infos from your XPL file"));
  tvXPL->setHeaderHidden(true);
  tvXPL->setMinimumWidth(50);
  resetXplTree();
  mXPL = new QPlainTextEdit(splXPL);
  mXPL->setObjectName(QStringLiteral("mXPL"));
  mXPL->setToolTip(QStringLiteral("This is your XPL file (part of it)"));
  mXPL->setReadOnly(true);
  mXPL->setAcceptDrops(false);
  mXPL->setLineWrapMode(QPlainTextEdit::NoWrap);
  mXPL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mXPL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mXPL->setMinimumWidth(50);
  // The system's fixed-pitch font, whatever fontconfig maps it to, so the tag lines align.
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(8);
  mXPL->setFont(mono);
  splXPL->addWidget(tvXPL);
  splXPL->addWidget(mXPL);
  splXPL->setStretchFactor(0, 0);
  splXPL->setStretchFactor(1, 1);
  connect(splXPL, &QSplitter::splitterMoved, this, [this] {
    treeWidth_ = splXPL->sizes().value(0, treeWidth_);
    treeWidthMoved_ = true;
  });
  layout->addWidget(splXPL);
  return tsXPL;
}

QWidget* TfMain::buildOptionsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsOption"));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(6, 4, 6, 4);

  auto* gbFile = new QGroupBox(page);
  gbFile->setObjectName(QStringLiteral("gbFile"));
  auto* fileLayout = new QVBoxLayout(gbFile);
  fileLayout->setContentsMargins(6, 4, 6, 4);
  fileLayout->setSpacing(2);
  fileLayout->addWidget(new QLabel(QStringLiteral("Extensions (video, audio, subtitle)"), gbFile));
  auto* extensions = new QHBoxLayout;
  eVideoExt =
      extensionField(QStringLiteral("eVideoExt"), QString::fromLatin1(kDefaultVideoExt), gbFile);
  eAudioExt =
      extensionField(QStringLiteral("eAudioExt"), QString::fromLatin1(kDefaultAudioExt), gbFile);
  eSubExt = extensionField(QStringLiteral("eSubExt"), QString::fromLatin1(kDefaultSubExt), gbFile);
  eSubExt->setToolTip(QStringLiteral("This is real .sup format, don't change!"));
  cbCodecExt = optionBox(QStringLiteral("cbCodecExt"), QStringLiteral("Name files by codec"),
                         QStringLiteral("Streams written as they stand are named by their codec "
                                        "(.m2v, .vc1, .ac3, .dts, .lpcm, .sup ...) instead of by "
                                        "the extensions at the left"),
                         gbFile);
  cbCodecExt->setChecked(false);
  extensions->addWidget(eVideoExt);
  extensions->addWidget(eAudioExt);
  extensions->addWidget(eSubExt);
  extensions->addWidget(cbCodecExt);
  extensions->addStretch(1);
  fileLayout->addLayout(extensions);
  auto* forms = new QHBoxLayout;
  cmbLpcmAs =
      formList(QStringLiteral("cmbLpcmAs"),
               QStringLiteral("Demux writes LPCM streams as they stand, or decoded into WAV "
                              "or FLAC files"),
               kLpcmForms, gbFile);
  cmbSubpicturesAs = formList(
      QStringLiteral("cmbSubpicturesAs"),
      QStringLiteral("Demux writes subpictures as .sup records, as VobSub (.idx and .sub) or as "
                     "Blu-ray PGS"),
      kSubpictureForms, gbFile);
  auto* lpcmLabel = new QLabel(QStringLiteral("LPCM as"), gbFile);
  lpcmLabel->setBuddy(cmbLpcmAs);
  auto* subpictureLabel = new QLabel(QStringLiteral("Subpictures as"), gbFile);
  subpictureLabel->setBuddy(cmbSubpicturesAs);
  forms->addWidget(lpcmLabel);
  forms->addWidget(cmbLpcmAs);
  forms->addSpacing(6);
  forms->addWidget(subpictureLabel);
  forms->addWidget(cmbSubpicturesAs);
  forms->addStretch(1);
  fileLayout->addLayout(forms);
  // Files named by codec take none of the extensions.
  connect(cbCodecExt, &QCheckBox::toggled, this, [this](bool byCodec) {
    for (QLineEdit* field : {eVideoExt, eAudioExt, eSubExt})
      field->setEnabled(!byCodec);
  });
  fileLayout->addWidget(new QLabel(QStringLiteral("Output folder"), gbFile));
  auto* folder = new QHBoxLayout;
  eWorkdir = new QLineEdit(gbFile);
  eWorkdir->setObjectName(QStringLiteral("eWorkdir"));
  eWorkdir->setToolTip(QStringLiteral("Destination directory for the demuxed streams"));
  bbWorkdir = browseButton(QStringLiteral("bbWorkdir"), QString(), gbFile);
  folder->addWidget(eWorkdir, 1);
  folder->addWidget(bbWorkdir);
  fileLayout->addLayout(folder);
  layout->addWidget(gbFile);

  auto* lower = new QHBoxLayout;
  auto* radios = new QVBoxLayout;
  rbAutoDemux = new QRadioButton(QStringLiteral("Auto Demux"), page);
  rbAutoDemux->setObjectName(QStringLiteral("rbAutoDemux"));
  rbAutoRebuild = new QRadioButton(QStringLiteral("Auto Rebuild"), page);
  rbAutoRebuild->setObjectName(QStringLiteral("rbAutoRebuild"));
  rbNoAuto = new QRadioButton(QStringLiteral("No auto process"), page);
  rbNoAuto->setObjectName(QStringLiteral("rbNoAuto"));
  rbNoAuto->setChecked(true);
  autoGroup_ = new QButtonGroup(this);
  for (QRadioButton* radio : {rbAutoDemux, rbAutoRebuild, rbNoAuto}) {
    autoGroup_->addButton(radio);
    radios->addWidget(radio);
  }
  radios->addStretch(1);
  lower->addLayout(radios);

  auto* gbOptions = new QGroupBox(page);
  gbOptions->setObjectName(QStringLiteral("gbOptions"));
  auto* checks = new QVBoxLayout(gbOptions);
  checks->setContentsMargins(6, 2, 6, 2);
  checks->setSpacing(0);
  cbContinue = optionBox(
      QStringLiteral("cbContinue"), QStringLiteral("Continue with second  EVO"),
      QStringLiteral(
          "Demux continues with FEATURE_2.EVO (if it exists) after finishing FEATURE_1.EVO"),
      gbOptions);
  cbFastCheck =
      optionBox(QStringLiteral("cbFastCheck"), QStringLiteral("Fast EVO checking"),
                QStringLiteral("Read EVO checks only the first ~300 MB of the file"), gbOptions);
  cbCountFr = optionBox(
      QStringLiteral("cbCountFr"), QStringLiteral("Count frames"),
      QStringLiteral("Works only if the process hasn't cancelled by Fast EVO checking"), gbOptions);
  cbDetails = optionBox(QStringLiteral("cbDetails"), QStringLiteral("Detailed info"),
                        QStringLiteral("Detailed information about streams"), gbOptions);
  cbAutoRead = optionBox(QStringLiteral("cbAutoRead"), QStringLiteral("Auto read"),
                         QStringLiteral("Read the file automatically after browse"), gbOptions);
  cbDelayNames = optionBox(
      QStringLiteral("cbDelayNames"), QStringLiteral("Delay in file names"),
      QStringLiteral("Audio and subpicture files are named with their delay against the video, "
                     "as muxing tools read it"),
      gbOptions);
  cbDelayNames->setChecked(false);
  cbChapters = optionBox(
      QStringLiteral("cbChapters"), QStringLiteral("Write chapters"),
      QStringLiteral("Demux also writes the chapters of the title that Read XPL chose"), gbOptions);
  for (QCheckBox* box :
       {cbContinue, cbFastCheck, cbCountFr, cbDetails, cbAutoRead, cbDelayNames, cbChapters}) {
    checks->addWidget(box);
  }
  lower->addWidget(gbOptions, 1);
  layout->addLayout(lower);
  layout->addStretch(1);
  return page;
}

QWidget* TfMain::buildCommandRow() {
  // Placed by hand, because the logo follows its own rule as the window grows.
  commandRow_ = new QWidget;
  commandRow_->setObjectName(QStringLiteral("pnlCommands"));
  commandRow_->setFixedHeight(kCommandRowHeight);
  bDemux = commandButton(QStringLiteral("bDemux"), QStringLiteral("Demux"),
                         QStringLiteral("Demux the source EVO to streams"), commandRow_);
  QFont bold = bDemux->font();
  bold.setBold(true);
  bDemux->setFont(bold);
  bRebuild =
      commandButton(QStringLiteral("bRebuild"), QStringLiteral("Rebuild"), QString(), commandRow_);
  bMakeMkv = commandButton(QStringLiteral("bMakeMkv"), QStringLiteral("Make MKV"),
                           QStringLiteral("Demux the checked streams and mux them into one "
                                          "Matroska file with mkvmerge"),
                           commandRow_);
  bCancel = commandButton(QStringLiteral("bCancel"), QStringLiteral("Cancel"),
                          QStringLiteral("You can stop the actual process"), commandRow_);
  imLogo = new QLabel(commandRow_);
  imLogo->setObjectName(QStringLiteral("imLogo"));
  imLogo->setToolTip(QStringLiteral("HD DVD logo :-)"));
  const QImage logo = logoImage();
  imLogo->setPixmap(QPixmap::fromImage(logo));
  imLogo->resize(logo.isNull() ? QSize(2 * kLogoHalfWidth, 40) : logo.size());
  commandRow_->installEventFilter(this);

  connect(bbEVO, &QToolButton::clicked, this, &TfMain::bbEVOClick);
  connect(bbXPL, &QToolButton::clicked, this, &TfMain::bbXPLClick);
  connect(bbWorkdir, &QToolButton::clicked, this, &TfMain::bbWorkdirClick);
  connect(bReadEVO, &QPushButton::clicked, this, &TfMain::bReadEVOClick);
  connect(bReadXPL, &QPushButton::clicked, this, &TfMain::bReadXPLClick);
  connect(bDemux, &QPushButton::clicked, this, &TfMain::bDemuxClick);
  connect(bRebuild, &QPushButton::clicked, this, &TfMain::bRebuildClick);
  connect(bMakeMkv, &QPushButton::clicked, this, &TfMain::bMakeMkvClick);
  connect(bCancel, &QPushButton::clicked, this, &TfMain::bCancelClick);
  return commandRow_;
}

void TfMain::connectOptions() {
  // The walker reads these options live, so a change made at a 4 MiB point acts at once.
  const auto mirror = [this](QCheckBox* box, bool RunOptions::*field) {
    state_.options.*field = box->isChecked();
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) { state_.options.*field = on; });
  };
  mirror(cbContinue, &RunOptions::Continue);
  mirror(cbFastCheck, &RunOptions::FastCheck);
  mirror(cbCountFr, &RunOptions::CountFrames);
  mirror(cbDetails, &RunOptions::Details);
  connect(cbTitle, &QComboBox::activated, this, &TfMain::cbTitleChange);
}

void TfMain::placeLogo() {
  const int rowWidth = commandRow_->width();
  const int top = (kCommandRowHeight - 25) / 2;
  bDemux->setGeometry(2, top, 72, 25);
  bRebuild->setGeometry(76, top, 72, 25);
  bMakeMkv->setGeometry(150, top, 72, 25);
  const int cancelLeft = std::max(0, rowWidth - 66);
  bCancel->setGeometry(cancelLeft, top, 64, 25);
  // The logo keeps its place (153, or centred in a wider window) but never covers Make MKV:
  // it moves right of it, and where it would then reach Cancel it is not shown.
  const int rule = width() <= kLogoFixedUpTo ? kLogoFixedLeft : width() / 2 - kLogoHalfWidth;
  const int left = std::max(rule - commandRow_->x(), bMakeMkv->geometry().right() + 5);
  imLogo->move(left, (kCommandRowHeight - imLogo->height()) / 2);
  imLogo->setVisible(left + imLogo->width() + 4 <= cancelLeft);
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == commandRow_ && event->type() == QEvent::Resize) placeLogo();
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvell
