#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "korvell_version.h"
#include "runs/read_run.h"
#include "runs/run_state.h"
#include "testing/dvd_test_disc.h"
#include "testing/recording_host.h"
#include "testing/sample_disc.h"
#include "testing/test_files.h"
#include "testing/udf_test_image.h"
#include "ui/console_view.h"
#include "ui/logo.h"
#include "ui/main_window.h"
#include "ui/settings_store.h"
#include "ui/status_panel.h"
#include "ui/ui_test_support.h"

namespace korvell {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTestdata = KORVELL_SOURCE_DIR "/testdata";

template <typename T>
T* child(const QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(QString::fromLatin1(name));
  if (widget == nullptr) qFatal("no control named %s", name);
  return widget;
}

QPushButton* button(const QWidget& w, const char* name) {
  return child<QPushButton>(w, name);
}
QCheckBox* box(const QWidget& w, const char* name) {
  return child<QCheckBox>(w, name);
}
QString consoleText(const QWidget& w) {
  return child<ConsoleView>(w, "reMessage")->toPlainText();
}

// Of the commands a busy run would ignore, those enabled.
QStringList enabledCommands(const QWidget& w) {
  QStringList on;
  for (const char* name :
       {"bReadEVO", "bReadXPL", "bDemux", "bRebuild", "bMakeMkv", "bbEVO", "bbXPL", "cbTitle"})
    if (child<QWidget>(w, name)->isEnabled()) on << QString::fromLatin1(name);
  return on;
}

std::vector<uint8_t> fileBytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A window with "Auto read" off, so that placing a file starts nothing by itself.
struct QuietWindow {
  RunState state;
  TfMain window{state};
  QuietWindow() { box(window, "cbAutoRead")->setChecked(false); }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    uitest::clearSettings();
    QVERIFY(dir_.isValid());
  }

  void controlsCarryTheirNamesCaptionsAndDefaults() {
    RunState state;
    TfMain w(state);
    QCOMPARE(w.objectName(), QStringLiteral("fMain"));
    QCOMPARE(w.windowTitle(), QStringLiteral("HD DVD Korvell " KORVELL_VERSION));
    QCOMPARE(w.minimumSize(), QSize(352, 380));
    for (const char* name : {"bReadEVO", "bReadXPL", "bDemux", "bRebuild", "bCancel"}) {
      QVERIFY2(!button(w, name)->isEnabled(), name);
    }
    QVERIFY(child<QToolButton>(w, "bbEVO")->isEnabled());
    QVERIFY(child<QToolButton>(w, "bbXPL")->isEnabled());
    QCOMPARE(button(w, "bReadEVO")->text(), QStringLiteral("Read EVO"));
    QCOMPARE(button(w, "bDemux")->toolTip(), QStringLiteral("Demux the source EVO to streams"));
    QVERIFY(button(w, "bDemux")->font().bold());
    QCOMPARE(child<QLineEdit>(w, "eXPLfile")->text(), QString());  // no playlist found yet
    QVERIFY(child<QLineEdit>(w, "eEVOfile")->isReadOnly());
    QCOMPARE(child<QLineEdit>(w, "eEVOfile")->focusPolicy(), Qt::ClickFocus);

    auto* pages = child<QTabWidget>(w, "PageControl");
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i)
      tabs << pages->tabText(i);
    QCOMPARE(tabs, (QStringList{"Status", "Video", "Audio", "Subpicture", "XPL", "Options"}));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tsStatus"));

    QCOMPARE(box(w, "cbVideo7")->text(), QStringLiteral("Video stream"));
    QCOMPARE(box(w, "cbAudio15")->text(), QStringLiteral("Audio stream"));
    QCOMPARE(box(w, "cbSub00")->text(), QStringLiteral("Subpicture"));
    QVERIFY(!box(w, "cbAudio08")->isEnabled());
    // Two columns of eight: cbAudio08 heads the second column.
    auto* grid = qobject_cast<QGridLayout*>(child<QWidget>(w, "tsAudio")->layout());
    QVERIFY(grid != nullptr);
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(box(w, "cbAudio07")), &row, &column, &rows, &columns);
    QCOMPARE(QPoint(column, row), QPoint(0, 7));
    grid->getItemPosition(grid->indexOf(box(w, "cbAudio08")), &row, &column, &rows, &columns);
    QCOMPARE(QPoint(column, row), QPoint(1, 0));

    for (const char* name : {"cbContinue", "cbFastCheck", "cbCountFr", "cbDetails", "cbAutoRead"}) {
      QVERIFY2(box(w, name)->isChecked(), name);
    }
    QCOMPARE(box(w, "cbContinue")->text(), QStringLiteral("Continue with second  EVO"));
    QVERIFY(!box(w, "cbAutoClear")->isChecked());
    QVERIFY(child<QRadioButton>(w, "rbNoAuto")->isChecked());
    QCOMPARE(child<QLineEdit>(w, "eVideoExt")->text(), QStringLiteral("mpv"));
    QCOMPARE(child<QLineEdit>(w, "eAudioExt")->maxLength(), 5);
    QCOMPARE(child<QLineEdit>(w, "eSubExt")->toolTip(),
             QStringLiteral("This is real .sup format, don't change!"));
    // The output forms: today's raw forms unless chosen; files named by codec take none of
    // the extension fields.
    const auto items = [&](const char* name) {
      QStringList list;
      for (int i = 0; i < child<QComboBox>(w, name)->count(); ++i)
        list << child<QComboBox>(w, name)->itemText(i);
      return list;
    };
    QCOMPARE(items("cmbLpcmAs"), (QStringList{"raw", "WAV", "FLAC"}));
    QCOMPARE(items("cmbSubpicturesAs"), (QStringList{"SUP records", "VobSub", "PGS"}));
    QCOMPARE(child<QComboBox>(w, "cmbLpcmAs")->currentIndex(), 0);
    QCOMPARE(child<QComboBox>(w, "cmbSubpicturesAs")->currentIndex(), 0);
    QVERIFY(!child<QComboBox>(w, "cmbLpcmAs")->toolTip().isEmpty());
    QVERIFY(!box(w, "cbCodecExt")->isChecked());
    QCOMPARE(box(w, "cbCodecExt")->text(), QStringLiteral("Name files by codec"));
    RunSettings settings = w.runSettings();
    QCOMPARE(settings.lpcmForm, LpcmForm::Raw);
    QCOMPARE(settings.subpictureForm, SubpictureForm::SupRecords);
    QVERIFY(!settings.codecExtensions);
    box(w, "cbCodecExt")->click();
    for (const char* field : {"eVideoExt", "eAudioExt", "eSubExt"})
      QVERIFY2(!child<QLineEdit>(w, field)->isEnabled(), field);
    child<QComboBox>(w, "cmbLpcmAs")->setCurrentIndex(1);
    child<QComboBox>(w, "cmbSubpicturesAs")->setCurrentIndex(2);
    settings = w.runSettings();
    QCOMPARE(settings.lpcmForm, LpcmForm::Wav);
    QCOMPARE(settings.subpictureForm, SubpictureForm::Pgs);
    QVERIFY(settings.codecExtensions);
    box(w, "cbCodecExt")->click();
    QVERIFY(child<QLineEdit>(w, "eSubExt")->isEnabled());

    auto* tree = child<QTreeWidget>(w, "tvXPL");
    QCOMPARE(tree->topLevelItemCount(), 4);
    QCOMPARE(tree->topLevelItem(3)->text(0), QStringLiteral("Chapter"));
    // The tag lines line up: narrow and wide letters take the same width.
    const QFontMetrics metrics(child<QPlainTextEdit>(w, "mXPL")->font());
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiiiiiiiii")),
             metrics.horizontalAdvance(QStringLiteral("MMMMMMMMMM")));

    QCOMPARE(child<StatusPanel>(w, "StatusPanel0")->text(), QStringLiteral(" Ready"));
    QCOMPARE(child<StatusPanel>(w, "StatusPanel0")->panelWidth(), 40);
    QCOMPARE(child<StatusPanel>(w, "StatusPanel1")->text(),
             QStringLiteral(" Select or drop an EVO file to demux"));
    QCOMPARE(child<QStatusBar>(w, "StatusBar")->toolTip(),
             QStringLiteral(" Select or drop an EVO file to demux"));
  }

  void theLogoIsDecodedWithLibjpegAndFollowsTheWidth() {
    const QImage logo = logoImage();
    QCOMPARE(logo.size(), QSize(126, 40));
    QString error;
    QVERIFY(decodeJpeg(QByteArray("\xFF\xD8 not a picture"), &error).isNull());
    QVERIFY(!error.isEmpty());

    RunState state;
    TfMain w(state);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* image = child<QLabel>(w, "imLogo");
    QCOMPARE(image->pixmap().size(), QSize(126, 40));
    // Centred in a wide window; never over Make MKV, and not shown where it would reach
    // Cancel.
    auto* makeMkv = button(w, "bMakeMkv");
    auto* cancel = button(w, "bCancel");
    w.resize(600, 400);
    QTRY_COMPARE(image->mapTo(&w, QPoint(0, 0)).x(), 600 / 2 - 63);
    w.resize(470, 400);
    QTRY_VERIFY(image->mapTo(&w, QPoint(0, 0)).x() > makeMkv->mapTo(&w, QPoint(72, 0)).x());
    QVERIFY(image->isVisible());
    QVERIFY(image->mapTo(&w, QPoint(126, 0)).x() < cancel->mapTo(&w, QPoint(0, 0)).x());
    w.resize(360, 400);
    QTRY_VERIFY(!image->isVisible());
    QVERIFY(makeMkv->mapTo(&w, QPoint(72, 0)).x() < cancel->mapTo(&w, QPoint(0, 0)).x());
  }

  void dropsTakeEvoVobAobAndXplAndIgnoreTheRest() {
    QuietWindow q;
    QVERIFY(!q.window.acceptDrops());  // drops are taken once the window is shown
    q.window.show();
    QVERIFY(q.window.acceptDrops());
    auto* source = child<QLineEdit>(q.window, "eEVOfile");
    auto* playlist = child<QLineEdit>(q.window, "eXPLfile");
    uitest::dropPaths(&q.window, {"/discs/a/notes.txt"});
    QCOMPARE(source->text(), QString());
    uitest::dropPaths(&q.window, {"https://example.org/FEATURE_1.EVO"});
    QCOMPARE(source->text(), QString());
    uitest::dropPaths(&q.window, {"/discs/dvd/VIDEO_TS/vts_01_1.vob"});
    QCOMPARE(source->text(), QDir::toNativeSeparators("/discs/dvd/VIDEO_TS/vts_01_1.vob"));
    QVERIFY(button(q.window, "bReadEVO")->isEnabled());
    // Only the first file of a drop counts.
    uitest::dropPaths(&q.window, {"/discs/hd/HVDVD_TS/FEATURE_1.EVO", "/x/OTHER.EVO"});
    QCOMPARE(source->text(), QDir::toNativeSeparators("/discs/hd/HVDVD_TS/FEATURE_1.EVO"));
    uitest::dropPaths(&q.window, {"/elsewhere/lists/VPLST000.XPL"});
    QCOMPARE(playlist->text(), QDir::toNativeSeparators("/elsewhere/lists/VPLST000.XPL"));
    QCOMPARE(source->text(), QDir::toNativeSeparators("/discs/hd/HVDVD_TS/FEATURE_1.EVO"));
    // The browse dialog offers DVD-Audio objects, so a drop takes them too.
    uitest::dropPaths(&q.window, {"/discs/a/AUDIO_TS/ATS_01_1.aob"});
    QCOMPARE(source->text(), QDir::toNativeSeparators("/discs/a/AUDIO_TS/ATS_01_1.aob"));
  }

  void aSourceInHvdvdTsNamesThePlaylistBesideItWhenItIsThere() {
    const QString movie = dir_.path() + QStringLiteral("/MOVIE");
    const QString playlist = movie + QStringLiteral("/ADV_OBJ/VPLST000.XPL");
    QVERIFY(QDir().mkpath(movie + "/ADV_OBJ") && QFile(playlist).open(QIODevice::WriteOnly));
    {
      QuietWindow q;
      q.window.WMDropFiles(QDir::toNativeSeparators(movie + "/HVDVD_TS/FEATURE_1.EVO"));
      QCOMPARE(child<QLineEdit>(q.window, "eXPLfile")->text(), QDir::toNativeSeparators(playlist));
      QCOMPARE(q.window.xplDir(), QDir::toNativeSeparators(movie + "/ADV_OBJ/"));
      QCOMPARE(q.window.evoDir(), QDir::toNativeSeparators(movie + "/HVDVD_TS/"));
      QVERIFY(button(q.window, "bReadXPL")->isEnabled());
      QFile::remove(playlist);  // a playlist that is not there is not named
      q.window.WMDropFiles(QDir::toNativeSeparators(movie + "/HVDVD_TS/FEATURE_1.EVO"));
      QCOMPARE(child<QLineEdit>(q.window, "eXPLfile")->text(), QString());
      QVERIFY(!button(q.window, "bReadXPL")->isEnabled());
    }
    {
      QuietWindow q;  // the folder test is case-sensitive
      q.window.WMDropFiles(QDir::toNativeSeparators("/d/MOVIE/hvdvd_ts/FEATURE_1.EVO"));
      QCOMPARE(child<QLineEdit>(q.window, "eXPLfile")->text(), QString());
      QVERIFY(!button(q.window, "bReadXPL")->isEnabled());
      QCOMPARE(q.window.xplDir(), QString());
    }
  }

  void aPlaylistInAdvObjPointsTheSourceDialogAtHvdvdTs() {
    QuietWindow q;
    const QString movie = dir_.path() + QStringLiteral("/MOVIE");
    QVERIFY(QDir().mkpath(movie + QStringLiteral("/HVDVD_TS")));
    q.window.WMDropFiles(QDir::toNativeSeparators(movie + "/ADV_OBJ/VPLST000.XPL"));
    QCOMPARE(q.window.evoDir(), QDir::toNativeSeparators(movie + "/HVDVD_TS/"));
    QVERIFY(button(q.window, "bReadXPL")->isEnabled());
    QString startFolder;
    q.window.runFileDialog = [&](QFileDialog& dialog) {
      startFolder = dialog.directory().absolutePath();
      return QString();
    };
    q.window.bbEVOClick();
    QCOMPARE(QDir::cleanPath(startFolder), QDir::cleanPath(movie + QStringLiteral("/HVDVD_TS")));
  }

  void theDialogsCarryTheirTitlesAndFiltersAndADismissalDoesNothing() {
    const QString disc = dir_.path() + QStringLiteral("/dismiss");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    RunState state;
    TfMain w(state);
    w.WMDropFiles(disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO"));  // Auto read is on
    QVERIFY(box(w, "cbAudio00")->isChecked());
    const QString before = consoleText(w);

    QString title;
    QStringList filters;
    bool namesOnly = false;
    w.runFileDialog = [&](QFileDialog& dialog) {
      title = dialog.windowTitle();
      filters = dialog.nameFilters();
      namesOnly = dialog.testOption(QFileDialog::HideNameFilterDetails);
      return QString();  // dismissed
    };
    w.bbEVOClick();
    QCOMPARE(title, QStringLiteral("Choose the EVO file to demux"));
    QCOMPARE(filters.size(), 5);
    QVERIFY(filters[0].startsWith(QStringLiteral("All supported file (")));
    QVERIFY(filters[0].contains(QStringLiteral("*.iso")));
    QVERIFY(filters[1].startsWith(QStringLiteral("EVOB files (HD DVD) (")));
    QVERIFY(filters[3].contains(QStringLiteral("*.VOB")));
    QCOMPARE(filters[4], QStringLiteral("Disc images (*.iso *.ISO)"));
    QVERIFY(namesOnly);  // the dialog shows "All supported file", "EVOB files (HD DVD)", ...
    // Nothing happened: no reset of the boxes, no new Read run.
    QVERIFY(box(w, "cbAudio00")->isChecked());
    QCOMPARE(consoleText(w), before);

    w.bbXPLClick();
    QCOMPARE(filters, QStringList{QStringLiteral("XPL (VPLST000.XPL)")});

    child<QLineEdit>(w, "eWorkdir")->setText(QStringLiteral("/keep"));
    w.bbWorkdirClick();
    QCOMPARE(title, QStringLiteral("Select a directory"));
    QCOMPARE(child<QLineEdit>(w, "eWorkdir")->text(), QStringLiteral("/keep"));
    w.runFileDialog = [&](QFileDialog&) { return dir_.path(); };
    w.bbWorkdirClick();
    QCOMPARE(child<QLineEdit>(w, "eWorkdir")->text(), QDir::toNativeSeparators(dir_.path()));

    // A chosen file resets the boxes and, with Auto read, reads it.
    w.runFileDialog = [&](QFileDialog&) {
      return disc + QStringLiteral("/HVDVD_TS/FEATURE_2.EVO");
    };
    w.bbEVOClick();
    QVERIFY(consoleText(w).contains(QStringLiteral("Opening file FEATURE_2.EVO")));
  }

  void readXplShowsTheTitleAndNamesTheBoxesAndRebuildDropsTheUnchecked() {
    const QString disc = dir_.path() + QStringLiteral("/sample");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    RunState state;
    TfMain w(state);
    w.show();
    uitest::dropPaths(&w, {disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO")});
    QVERIFY(button(w, "bReadXPL")->isEnabled());
    button(w, "bReadXPL")->click();

    QTreeWidget* tree = w.xplTree();
    QStringList roots;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
      roots << tree->topLevelItem(i)->text(0);
    QCOMPARE(roots, (QStringList{"Info", "Video", "Audio", "Subtitle", "Chapter"}));
    QCOMPARE(tree->topLevelItem(2)->child(0)->text(0), QStringLiteral("DD+.6ch.stream.00.English"));
    const QAbstractItemView* view = tree;  // at first start the pane takes the labels' width
    QVERIFY(view->sizeHintForColumn(0) <= view->viewport()->width());
    QVERIFY(w.xplText()->isVisibleTo(&w));
    QVERIFY(w.xplText()->toPlainText().contains(QStringLiteral("<Title")));
    QCOMPARE(box(w, "cbAudio00")->text(), QStringLiteral("DD+.6ch.stream.00.English"));
    QVERIFY(box(w, "cbAudio00")->isChecked() && box(w, "cbAudio00")->isEnabled());
    QVERIFY(button(w, "bReadEVO")->isEnabled());
    QVERIFY(button(w, "bReadXPL")->isEnabled());
    QVERIFY(consoleText(w).contains(QStringLiteral("MLP.6ch.stream.01.English found!")));

    // Rebuild without the TrueHD stream and the second subpicture stream.
    box(w, "cbAudio01")->click();
    box(w, "cbSub01")->click();
    QVERIFY(button(w, "bRebuild")->isEnabled());
    button(w, "bRebuild")->click();
    const QString rebuilt = disc + QStringLiteral("/HVDVD_TS/FEATURE_1_FEATURE_2.rebuilt.EVO");
    QVERIFY(QFileInfo::exists(rebuilt));
    QVERIFY(
        consoleText(w).contains(QStringLiteral("Creating ") + QDir::toNativeSeparators(rebuilt)));
    RunState again;
    testing::RecordingHost host;
    RunSettings settings;
    settings.inputPath = rebuilt.toStdString();
    again.options.Details = false;
    QCOMPARE(readRun(again, host, settings), RunOutcome::Done);
    QCOMPARE(again.registry.audioIds[1], 0x89);  // DTS moved up into the dropped stream's place
    QCOMPARE(again.registry.audioIds[2], -1);
    QCOMPARE(again.registry.subIds[1], -1);

    // A text file named .VOB as the next source: nothing of the disc stays.
    std::ofstream(dir_.path().toStdString() + "/NOTES.VOB") << "Shopping list\n";
    w.WMDropFiles(dir_.path() + QStringLiteral("/NOTES.VOB"));
    const QString read = consoleText(w).section(QStringLiteral("Opening file NOTES.VOB"), -1);
    QVERIFY2(read.contains(QStringLiteral("No stream found in NOTES.VOB.")), qPrintable(read));
    QVERIFY2(!read.contains(QStringLiteral("frames")), qPrintable(read));  // none of the disc's
    QCOMPARE(child<QLineEdit>(w, "eXPLfile")->text(), QString());
    QVERIFY(!button(w, "bReadXPL")->isEnabled() && !button(w, "bDemux")->isEnabled());
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Video"));  // the roots, no "Info"
  }

  void makeMkvMuxesTheCheckedStreamsWithThePlaylistsNames() {
    if (QStandardPaths::findExecutable(QStringLiteral("mkvmerge")).isEmpty()) {
      QSKIP("mkvmerge is not installed: Make MKV skipped");
    }
    const QString disc = dir_.path() + QStringLiteral("/sample");
    const QString out = dir_.path() + QStringLiteral("/out");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    QVERIFY(QDir().mkpath(out));
    RunState state;
    TfMain w(state);
    w.show();
    child<QLineEdit>(w, "eWorkdir")->setText(out);
    auto* makeMkv = button(w, "bMakeMkv");
    QVERIFY(!makeMkv->isEnabled());
    uitest::dropPaths(&w, {disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO")});
    QCOMPARE(makeMkv->isEnabled(), button(w, "bDemux")->isEnabled());
    QVERIFY(makeMkv->isEnabled());
    button(w, "bReadXPL")->click();
    makeMkv->click();
    const QString mkv = out + QStringLiteral("/FEATURE_1_FEATURE_2.mkv");
    QVERIFY2(QFileInfo::exists(mkv), qPrintable(consoleText(w)));
    testing::CommandResult info = testing::runCommand("mkvmerge -J '" + mkv.toStdString() + "'");
    QVERIFY(info.output.find("\"track_name\": \"English\"") != std::string::npos);
    QVERIFY(info.output.find("\"title\": \"Feature Presentation\"") != std::string::npos);
    QCOMPARE(QDir(out).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("FEATURE_1_FEATURE_2.mkv")});

    // The file is there now: "Save as" asks for another name; dismissing it writes nothing.
    QString asked;
    w.runFileDialog = [&](QFileDialog& dialog) {
      asked = dialog.windowTitle();
      return QString();
    };
    makeMkv->click();
    QCOMPARE(asked, QStringLiteral("Save as"));
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 1);
    w.runFileDialog = [&](QFileDialog&) { return out + QStringLiteral("/second.mkv"); };
    makeMkv->click();
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/second.mkv")));
  }

  // Cancel pressed while mkvmerge works: the question names the run and leaves it going, so
  // a run that ends before the answer keeps its file. (Were the question to block the run, the
  // Yes given after ten seconds would remove the finished file.)
  void cancelDuringMakeMkvKeepsAFileFinishedBeforeTheAnswer() {
    if (QStandardPaths::findExecutable(QStringLiteral("mkvmerge")).isEmpty()) {
      QSKIP("mkvmerge is not installed: Make MKV skipped");
    }
    const QString disc = dir_.path() + QStringLiteral("/sample");
    const QString out = dir_.path() + QStringLiteral("/cancelled/mkv");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    RunState state;
    TfMain w(state);
    child<QLineEdit>(w, "eWorkdir")->setText(out);  // missing: Make MKV creates it
    w.WMDropFiles(disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO"));
    QString question;
    QStringList enabledWhileMuxing{QStringLiteral("not seen")};
    QTimer poll, lateYes;
    connect(&poll, &QTimer::timeout, &w, [&] {
      if (!question.isEmpty() || !child<StatusPanel>(w, "StatusPanel0")->text().startsWith(" Mux"))
        return;
      question = QStringLiteral("not asked");
      enabledWhileMuxing = enabledCommands(w);
      button(w, "bCancel")->click();
      if (QMessageBox* box = w.cancelQuestionBox()) question = box->text();
    });
    connect(&lateYes, &QTimer::timeout, &w, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        box->button(QMessageBox::Yes)->click();
    });
    poll.start(0);
    lateYes.start(10000);
    button(w, "bMakeMkv")->click();
    poll.stop();
    QCOMPARE(question, QStringLiteral("Stop making the Matroska file?"));
    QCOMPARE(enabledWhileMuxing, QStringList());
    const QString console = consoleText(w);
    QVERIFY2(console.contains(QStringLiteral("Creating folder ") + QDir::toNativeSeparators(out)) &&
                 !console.contains(QStringLiteral("Removing")) &&
                 console.contains(QStringLiteral("Cancel was answered: nothing was stopped.")),
             qPrintable(console));
    QVERIFY(QFileInfo(out + QStringLiteral("/FEATURE_1_FEATURE_2.mkv")).size() > 0);
  }

  // A first start opens at a size where every control has the room it asks for (the command
  // row is placed by hand).
  void aFirstStartSqueezesNothing() {
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    const QSize room = w.screen()->availableSize();
    if (room.width() >= 1024 && room.height() >= 768)
      QVERIFY(w.width() >= 800 && w.height() >= 600);
    auto* pages = child<QTabWidget>(w, "PageControl");
    for (int page = 0; page < pages->count(); ++page) {
      pages->setCurrentIndex(page);
      QApplication::processEvents();
      for (QWidget* widget : w.findChildren<QWidget*>()) {
        const QSize needed = widget->minimumSizeHint();
        if (!widget->isVisible() || !needed.isValid() ||
            widget->parentWidget()->objectName() == QStringLiteral("pnlCommands"))
          continue;
        QVERIFY2(widget->width() >= needed.width() && widget->height() >= needed.height(),
                 qPrintable(widget->objectName() + " " + widget->metaObject()->className()));
      }
    }
  }

  void readXplThenDemuxWritesChaptersAndDelayNames() {
    const QString disc = dir_.path() + QStringLiteral("/sample");
    const QString out = dir_.path() + QStringLiteral("/out");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    QVERIFY(QDir().mkpath(out));
    RunState state;
    TfMain w(state);
    w.show();
    child<QLineEdit>(w, "eWorkdir")->setText(out);
    QVERIFY(!box(w, "cbDelayNames")->isChecked());  // off until the user wants it
    QVERIFY(box(w, "cbChapters")->isChecked());
    box(w, "cbDelayNames")->click();
    uitest::dropPaths(&w, {disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO")});
    button(w, "bReadXPL")->click();
    button(w, "bDemux")->click();
    QVERIFY(consoleText(w).contains(QStringLiteral("Done.")));

    QFile simple(out + QStringLiteral("/FEATURE_1_FEATURE_2.chapters.txt"));
    QVERIFY(simple.open(QIODevice::ReadOnly));
    const QString chapters = QString::fromUtf8(simple.readAll());
    QVERIFY(
        chapters.contains(QStringLiteral("CHAPTER02=00:00:40.000\nCHAPTER02NAME=The Crossing")));
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/FEATURE_1_FEATURE_2.chapters.xml")));
    // Audio and subpicture files carry their delay, video does not.
    const QStringList names = QDir(out).entryList(QDir::Files);
    const QRegularExpression delayed(QStringLiteral(
        R"(^FEATURE_1_FEATURE_2\.DD\+\.6ch\.stream\.00\.English DELAY -?\d+ms\.mpa$)"));
    QVERIFY2(!names.filter(delayed).isEmpty(), qPrintable(names.join(QLatin1Char('|'))));
    QVERIFY(names.contains(QStringLiteral("FEATURE_1_FEATURE_2.VC-1.stream.0.mpv")));
    QCOMPARE(names.filter(QStringLiteral(" DELAY ")).size(), 5);  // 3 audio, 2 subpicture

    // Another source forgets the title read for the first: its Demux writes no chapters.
    uitest::dropPaths(&w, {disc + QStringLiteral("/HVDVD_TS/FEATURE_2.EVO")});
    button(w, "bDemux")->click();
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/FEATURE_2.VC-1.stream.0.mpv")));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/FEATURE_2.chapters.txt")));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/FEATURE_2.chapters.xml")));
  }

  void aReadRunOfTheSampleDiscFillsTheBoxesAndADemuxWritesThem() {
    const QString disc = dir_.path() + QStringLiteral("/sample");
    const QString out = dir_.path() + QStringLiteral("/out");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    QVERIFY(QDir().mkpath(out));
    RunState state;
    TfMain w(state);
    w.show();
    child<QLineEdit>(w, "eWorkdir")->setText(out);
    uitest::dropPaths(&w, {disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO")});

    const QString console = consoleText(w);
    QVERIFY(console.contains(QStringLiteral("Opening file FEATURE_1.EVO")));
    QVERIFY(console.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
    // Each file's size is logged, and the set lasts as its two files of 1.5 s together.
    QCOMPARE(console.count(QStringLiteral("File size: 0 Mbytes.")), 2);
    QVERIFY(console.contains(QStringLiteral("\n72 calculated frames.")));
    QVERIFY(console.contains(QStringLiteral("Done.")));
    const auto streams = testing::sampleDiscStreams(kTestdata);
    QVERIFY(!streams.empty());
    for (int number = 0; number < kSelectableSlots; ++number) {
      const Slot slot = slotAt(number);
      const QString name =
          slot.family == Family::Video ? QStringLiteral("cbVideo%1").arg(slot.index)
          : slot.family == Family::Audio
              ? QStringLiteral("cbAudio%1").arg(slot.index, 2, 10, QLatin1Char('0'))
              : QStringLiteral("cbSub%1").arg(slot.index, 2, 10, QLatin1Char('0'));
      QCheckBox* check = box(w, name.toLatin1().constData());
      const bool found = state.registry.registeredId(slot) != -1;
      QCOMPARE(check->isChecked(), found);
      QCOMPARE(check->isEnabled(), found);
      QCOMPARE(check->text().toStdString(), state.selection.streamLabel[number]);
    }
    QStringList captions;
    for (QCheckBox* check : w.findChildren<QCheckBox*>()) {
      if (check->isChecked() &&
          check->objectName().contains(QRegularExpression("^cb(Video|Audio|Sub)")))
        captions << check->text();
    }
    for (const auto& stream : streams) {
      QVERIFY2(captions.contains(QString::fromStdString(stream.label)), stream.label.c_str());
    }
    QCOMPARE(box(w, "cbVideo2")->text(), QStringLiteral("No video stream"));
    for (const char* name : {"bReadEVO", "bDemux", "bRebuild", "bReadXPL"}) {
      QVERIFY2(button(w, name)->isEnabled(), name);
    }
    QVERIFY(!button(w, "bCancel")->isEnabled());
    QCOMPARE(child<StatusPanel>(w, "StatusPanel0")->text(), QStringLiteral(" Ready"));

    // Leave the second audio stream out of the Demux run.
    const testing::SampleStream* left = nullptr;
    for (const auto& stream : streams) {
      if (stream.label == state.selection.streamLabel[slotNumber({Family::Audio, 1})])
        left = &stream;
    }
    QVERIFY(left != nullptr);
    box(w, "cbAudio01")->click();
    QVERIFY(!state.selection.selected[slotNumber({Family::Audio, 1})]);
    button(w, "bDemux")->click();
    for (const auto& stream : streams) {
      const QString file = out + QStringLiteral("/FEATURE_1_FEATURE_2.") +
                           QString::fromStdString(stream.label + "." + stream.extension);
      if (&stream == left) {
        QVERIFY2(!QFile::exists(file), qPrintable(file));
      } else {
        QVERIFY2(fileBytes(file) == stream.bytes, qPrintable(file));
      }
    }
    QVERIFY(button(w, "bDemux")->isEnabled());
    QVERIFY(button(w, "bRebuild")->isEnabled());
  }

  void autoDemuxFollowsTheReadRun() {
    const QString disc = dir_.path() + QStringLiteral("/auto");
    std::string error;
    QVERIFY2(testing::writeSampleDisc(disc.toStdString(), kTestdata, 0, &error), error.c_str());
    RunState state;
    TfMain w(state);
    child<QRadioButton>(w, "rbAutoDemux")->setChecked(true);
    w.WMDropFiles(disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO"));
    QVERIFY(
        QFile::exists(disc + QStringLiteral("/HVDVD_TS/FEATURE_1_FEATURE_2.VC-1.stream.0.mpv")));
    QCOMPARE(consoleText(w).count(QStringLiteral("Done.")), 2);
  }

  void aVobNeverEnablesRebuild() {
    const QString vob = dir_.path() + QStringLiteral("/VTS_01_1.VOB");
    const QString evo = dir_.path() + QStringLiteral("/MOVIE.EVO");
    QVERIFY(uitest::writeSyntheticInput(vob, 4));
    QVERIFY(uitest::writeSyntheticInput(evo, 4));
    RunState state;
    TfMain w(state);
    w.WMDropFiles(vob);
    QVERIFY(box(w, "cbAudio00")->isChecked());
    QVERIFY(button(w, "bDemux")->isEnabled());
    QVERIFY(!button(w, "bRebuild")->isEnabled());
    box(w, "cbAudio00")->click();
    box(w, "cbVideo0")->click();
    QVERIFY(!button(w, "bDemux")->isEnabled());
    box(w, "cbAudio00")->click();
    QVERIFY(button(w, "bDemux")->isEnabled());
    QVERIFY(!button(w, "bRebuild")->isEnabled());

    w.WMDropFiles(evo);
    QVERIFY(button(w, "bRebuild")->isEnabled());
    box(w, "cbAudio00")->click();
    box(w, "cbVideo0")->click();
    QVERIFY(!button(w, "bDemux")->isEnabled());
    QVERIFY(!button(w, "bRebuild")->isEnabled());
    box(w, "cbVideo0")->click();
    QVERIFY(button(w, "bRebuild")->isEnabled());
  }

  void aVobOnADiscListsItsTitlesAndTheRunsWorkOnTheChosenOne() {
    if (!testing::dvdTestDisc().missingTool.empty())
      QSKIP(qPrintable(QString::fromStdString(testing::dvdTestDisc().missingTool)));
    QVERIFY2(testing::dvdTestDisc().failure.empty(), testing::dvdTestDisc().failure.c_str());
    const fs::path disc = testing::dvdTestDisc().folder;
    const QString videoTs = QString::fromStdString((disc / "VIDEO_TS").string());
    const QString out = dir_.path() + QStringLiteral("/titles");
    QVERIFY(QDir().mkpath(out));
    QuietWindow q;
    TfMain& w = q.window;
    child<QLineEdit>(w, "eWorkdir")->setText(out);
    auto* titles = child<QComboBox>(w, "cbTitle");
    QVERIFY(!titles->isEnabled());
    // The title that starts in the chosen file is chosen with it.
    w.WMDropFiles(videoTs + QStringLiteral("/VTS_01_2.VOB"));
    QVERIFY(titles->isEnabled());
    QCOMPARE(titles->count(), 3);
    QCOMPARE(titles->itemText(1), QStringLiteral("Title 1: 0:00:08.000, 4 chapters"));
    QCOMPARE(titles->itemText(2), QStringLiteral("Title 2: 0:00:02.000, 1 chapter"));
    QCOMPARE(titles->currentIndex(), 2);
    w.WMDropFiles(videoTs + QStringLiteral("/VTS_01_1.VOB"));
    QCOMPARE(titles->currentIndex(), 1);
    QVERIFY(!consoleText(w).contains(QStringLiteral("IFO")));

    button(w, "bReadEVO")->click();
    QVERIFY(consoleText(w).contains(
        QStringLiteral("Opening title VTS_01_TITLE_1 in VTS_01_1.VOB and VTS_01_2.VOB")));
    QCOMPARE(box(w, "cbAudio00")->text(), QStringLiteral("DD.stream.00.en"));
    QCOMPARE(box(w, "cbAudio01")->text(), QStringLiteral("DD.stream.01.de"));
    QCOMPARE(box(w, "cbSub00")->text(), QStringLiteral("Subpicture.00.fr"));
    QVERIFY(button(w, "bRebuild")->isEnabled());  // a title is rebuilt into a VOB
    button(w, "bDemux")->click();
    const QString base = out + QStringLiteral("/VTS_01_TITLE_1.");
    for (const char* name : {"MPEG-2.stream.0.mpv", "DD.stream.01.de.mpa", "Subpicture.00.fr.sup",
                             "chapters.txt", "chapters.xml"})
      QVERIFY2(QFile::exists(base + QLatin1String(name)), name);
    // The English audio as ffmpeg copies it from the source the title was authored from.
    const fs::path copy = fs::path(dir_.path().toStdString()) / "title1.ac3";
    QCOMPARE(testing::runCommand("ffmpeg -v error -y -i '" + (disc / "title1.mpg").string() +
                                 "' -map 0:a:0 -c copy -f ac3 '" + copy.string() + "'")
                 .status,
             0);
    QVERIFY(fileBytes(base + QStringLiteral("DD.stream.00.en.mpa")) ==
            testing::readFileBytes(copy));

    // Another title: the boxes of the last Read run are reset, and the runs follow the choice.
    titles->setCurrentIndex(2);
    emit titles->activated(2);
    QVERIFY(!box(w, "cbAudio00")->isEnabled());
    QVERIFY(!button(w, "bDemux")->isEnabled());
    QVERIFY(!button(w, "bRebuild")->isEnabled());
    QCOMPARE(child<StatusPanel>(w, "StatusPanel1")->text(),
             QStringLiteral(" Press Read EVO to read title 2"));
    QCOMPARE(w.runSettings().title->number, 2);
    button(w, "bReadEVO")->click();
    button(w, "bDemux")->click();
    QVERIFY(QFile::exists(out + QStringLiteral("/VTS_01_TITLE_2.DD.stream.00.en.mpa")));
    QVERIFY(!QFile::exists(out + QStringLiteral("/VTS_01_TITLE_2.Subpicture.00.fr.sup")));
    // The first entry reads the file and its set.
    titles->setCurrentIndex(0);
    emit titles->activated(0);
    QVERIFY(!w.runSettings().title);
    box(w, "cbAutoRead")->setChecked(true);  // now the choice reads at once
    emit titles->activated(0);
    QVERIFY(box(w, "cbAudio00")->isChecked());
  }

  void anHdDvdListsItsPlaylistsTitlesAndTheRunsWalkTheChosenOne() {
    const QString disc = dir_.path() + QStringLiteral("/hddvd");
    std::string error;
    QVERIFY2(testing::writeHdDvdTestDisc(disc.toStdString(), kTestdata, &error), error.c_str());
    QuietWindow q;
    TfMain& w = q.window;
    box(w, "cbAutoRead")->setChecked(false);
    w.WMDropFiles(disc + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO"));
    auto* titles = child<QComboBox>(w, "cbTitle");
    QVERIFY(titles->isEnabled());
    QCOMPARE(titles->count(), 3);
    QCOMPARE(titles->itemText(1), QStringLiteral("Title 1 \"Feature\": 0:00:01.000, 3 chapters"));
    QCOMPARE(titles->currentIndex(), 0);  // the file reads as it always has
    box(w, "cbAutoRead")->setChecked(true);
    titles->setCurrentIndex(1);
    emit titles->activated(1);
    QVERIFY(consoleText(w).contains(
        QStringLiteral("Opening title TITLE_1 in FEATURE_1.EVO and FEATURE_2.EVO")));
    QCOMPARE(box(w, "cbAudio01")->text(), QStringLiteral("MLP.stream.01.en"));
    QCOMPARE(box(w, "cbSub01")->text(), QStringLiteral("Subpicture.01.de"));
    button(w, "bDemux")->click();
    QVERIFY(QFile::exists(disc + QStringLiteral("/HVDVD_TS/TITLE_1.DTSHD.stream.02.de.mpa")));
  }

  void aDroppedDiscImageListsItsTitlesAndItsOutputsGoBesideIt() {
    if (!testing::dvdTestDisc().missingTool.empty())
      QSKIP(testing::dvdTestDisc().missingTool.c_str());
    const QString image = dir_.path() + QStringLiteral("/movie.iso");
    const testing::MadeImage made = testing::makeUdfImage(
        testing::ImageMaker::Genisoimage, testing::dvdTestDisc().folder, image.toStdString());
    if (!made.missingTool.empty()) QSKIP(made.missingTool.c_str());
    QVERIFY2(made.failure.empty(), made.failure.c_str());
    QuietWindow q;
    TfMain& w = q.window;
    w.WMDropFiles(image);
    auto* titles = child<QComboBox>(w, "cbTitle");
    QCOMPARE(titles->count(), 3);
    QCOMPARE(titles->itemText(2), QStringLiteral("Title 2: 0:00:02.000, 1 chapter"));
    QCOMPARE(titles->currentIndex(), 1);
    // The image is no file: "No title" cannot be chosen.
    QVERIFY(!(titles->model()->flags(titles->model()->index(0, 0)) & Qt::ItemIsEnabled));
    button(w, "bReadEVO")->click();
    QCOMPARE(box(w, "cbAudio01")->text(), QStringLiteral("DD.stream.01.de"));
    button(w, "bDemux")->click();
    QVERIFY(QFile::exists(dir_.path() + QStringLiteral("/VTS_01_TITLE_1.DD.stream.01.de.mpa")));
  }

  void aVobWithoutIfoIsReadAsOneSetAndTheConsoleSaysSoOnce() {
    const QString folder = dir_.path() + QStringLiteral("/noifo");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(uitest::writeSyntheticInput(folder + QStringLiteral("/VTS_01_1.VOB"), 4));
    QVERIFY(uitest::writeSyntheticInput(folder + QStringLiteral("/VTS_01_2.VOB"), 4));
    QVERIFY(uitest::writeSyntheticInput(folder + QStringLiteral("/VTS_11_1.VOB"), 4));
    QVERIFY(uitest::writeSyntheticInput(folder + QStringLiteral("/MOVIE.EVO"), 4));
    QuietWindow q;
    TfMain& w = q.window;
    w.WMDropFiles(folder + QStringLiteral("/VTS_01_1.VOB"));
    auto* titles = child<QComboBox>(w, "cbTitle");
    QVERIFY(!titles->isEnabled());
    QCOMPARE(titles->count(), 1);
    const QString note = QStringLiteral("No IFO title list for VTS_01_1.VOB (");
    QCOMPARE(consoleText(w).count(note), 1);
    QVERIFY(consoleText(w).contains(
        QStringLiteral("): the VOB files from it on are read as one set.")));
    button(w, "bReadEVO")->click();
    button(w, "bDemux")->click();
    QCOMPARE(consoleText(w).count(note), 1);
    QVERIFY(consoleText(w).contains(
        QStringLiteral("VTS_01_1.VOB goes on in VTS_01_2.VOB: they are read as one file.")));
    QVERIFY(!consoleText(w).contains(QStringLiteral("VTS_11_1.VOB")));
    QCOMPARE(fileBytes(folder + QStringLiteral("/VTS_01.MPEG-2.stream.0.mpv")).size(),
             size_t{8} * uitest::kPayload);
    QVERIFY(!button(w, "bRebuild")->isEnabled());
    // An .EVO has no title list and nothing to say about one.
    w.WMDropFiles(folder + QStringLiteral("/MOVIE.EVO"));
    QVERIFY(!titles->isEnabled());
    QCOMPARE(consoleText(w).count(QStringLiteral("No IFO")), 1);
  }

  void uncheckingABoxAtA4MiBPointStopsItsOutput() {
    // 2,560 pairs of packs: 10 MiB and a pack. Events are let through after the block that
    // ends at 4 MiB has been read and before it is walked, so the audio written is that of
    // the first 3.75 MiB: packs 2, 4, ..., 1,918 (pack 0 holds the system header).
    const QString input = dir_.path() + QStringLiteral("/BIG.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 2560));
    RunState state;
    TfMain w(state);
    box(w, "cbDetails")->setChecked(false);
    w.WMDropFiles(input);
    QVERIFY(box(w, "cbAudio00")->isChecked());
    int points = 0;
    QTimer::singleShot(0, &w, [&] {
      ++points;
      QVERIFY(w.busy());
      box(w, "cbAudio00")->click();
      QVERIFY(!button(w, "bDemux")->isEnabled());  // the run decides at its end
      // Busy shows: no command the run would ignore is enabled; the bar stands at 4 MiB of 10.
      QCOMPARE(enabledCommands(w), QStringList());
      auto* bar = child<QProgressBar>(w, "pbProgress");
      QVERIFY(bar->isVisibleTo(&w) && bar->value() == 39 && bar->text().endsWith(" left"));
    });
    button(w, "bDemux")->click();
    QCOMPARE(points, 1);
    const QString prefix = dir_.path() + QStringLiteral("/BIG.");
    QCOMPARE(fileBytes(prefix + QStringLiteral("DD.stream.00.mpa")).size(),
             size_t{959} * uitest::kPayload);
    QCOMPARE(fileBytes(prefix + QStringLiteral("MPEG-2.stream.0.mpv")).size(),
             size_t{2560} * uitest::kPayload);
  }

  void cancelAnsweredNoLeavesTheRunGoingAndLogsNothing() {
    const QString input = dir_.path() + QStringLiteral("/CANCEL.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 2560));
    RunState state;
    TfMain w(state);
    box(w, "cbDetails")->setChecked(false);
    w.WMDropFiles(input);
    QStringList questions;
    bool answer = false;
    w.askQuestion = [&](const QString& question) {
      questions << question;
      return answer;
    };
    const auto clickCancel = [&] {
      QVERIFY(button(w, "bCancel")->isEnabled());
      button(w, "bCancel")->click();
    };
    QTimer::singleShot(0, &w, clickCancel);
    button(w, "bDemux")->click();
    QCOMPARE(questions, QStringList{QStringLiteral("Are you sure to stop demuxing?")});
    QVERIFY(!consoleText(w).contains(QStringLiteral("Cancelled.")));
    const QString audio = dir_.path() + QStringLiteral("/CANCEL.DD.stream.00.mpa");
    QCOMPARE(fileBytes(audio).size(), size_t{2560} * uitest::kPayload);

    answer = true;  // Yes stops the pass at its next poll
    QTimer::singleShot(0, &w, clickCancel);
    button(w, "bDemux")->click();
    QCOMPARE(questions.size(), 2);
    QVERIFY(consoleText(w).contains(QStringLiteral("Cancelled.")));
    QVERIFY(fileBytes(audio).size() < size_t{1200} * uitest::kPayload);
    QVERIFY(!button(w, "bCancel")->isEnabled());
  }

  void noSecondRunStartsWhileOneIsBusy() {
    const QString input = dir_.path() + QStringLiteral("/BUSY.EVO");
    const QString other = dir_.path() + QStringLiteral("/OTHER.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 2560));
    QVERIFY(uitest::writeSyntheticInput(other, 4));
    RunState state;
    TfMain w(state);
    w.show();
    box(w, "cbDetails")->setChecked(false);
    w.WMDropFiles(input);
    int dialogs = 0;
    w.runFileDialog = [&](QFileDialog&) {
      ++dialogs;
      return other;
    };
    QTimer::singleShot(0, &w, [&] {
      uitest::dropPaths(&w, {other});
      w.bReadEVOClick();
      w.bDemuxClick();
      w.bbEVOClick();
      w.bbXPLClick();
    });
    button(w, "bDemux")->click();
    QCOMPARE(dialogs, 0);
    QCOMPARE(child<QLineEdit>(w, "eEVOfile")->text(), QDir::toNativeSeparators(input));
    QCOMPARE(consoleText(w).count(QStringLiteral("Opening file")), 2);  // the Read and the Demux
    QVERIFY(!QFile::exists(dir_.path() + QStringLiteral("/OTHER.DD.stream.00.mpa")));
  }

  void closingDuringARunCancelsItAndClosesAfterwards() {
    const QString input = dir_.path() + QStringLiteral("/CLOSE.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 2560));
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    box(w, "cbDetails")->setChecked(false);
    child<QRadioButton>(w, "rbAutoDemux")->setChecked(true);
    bool closedAtOnce = true;
    QTimer::singleShot(0, &w, [&] {
      w.close();
      closedAtOnce = !w.isVisible();
    });
    w.WMDropFiles(input);
    QVERIFY(!closedAtOnce);  // the run was still busy: the window waited for it
    QVERIFY(!w.isVisible());
    QVERIFY(!w.busy());
    QVERIFY(!consoleText(w).contains(QStringLiteral("Creating")));  // no follow-on Demux
    QVERIFY(!QFile::exists(dir_.path() + QStringLiteral("/CLOSE.DD.stream.00.mpa")));
    QVERIFY(SettingsStore::exists());  // the close saved the settings
  }

  void closingDuringADemuxOrRebuildStopsItAndClosesItsFiles() {
    const QString input = dir_.path() + QStringLiteral("/CLOSE2.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 2560));  // about 10 MiB: two event points
    for (const char* command : {"bDemux", "bRebuild"}) {
      RunState state;
      TfMain w(state);
      QVERIFY(uitest::showActive(&w));
      box(w, "cbDetails")->setChecked(false);
      w.WMDropFiles(input);  // Auto read fills the boxes
      QVERIFY(button(w, command)->isEnabled());
      const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
      };
      const auto filesBefore = openFiles();
      QTimer::singleShot(0, &w, [&] { w.close(); });
      button(w, command)->click();
      QVERIFY2(!w.isVisible(), command);
      QVERIFY(!w.busy());
      QCOMPARE(openFiles(), filesBefore);  // the run closed its input and outputs
      const QString output = std::string(command) == "bDemux"
                                 ? dir_.path() + QStringLiteral("/CLOSE2.DD.stream.00.mpa")
                                 : dir_.path() + QStringLiteral("/CLOSE2.rebuilt.EVO");
      QVERIFY2(QFile::exists(output), command);  // partial output stays
      QVERIFY2(QFileInfo(output).size() < QFileInfo(input).size() / 2, command);
      QFile::remove(output);
    }
  }

  void statusTextsSizeTheirPanels() {
    RunState state;
    TfMain w(state);
    w.status("Ready", 0);
    auto* panel = child<StatusPanel>(w, "StatusPanel0");
    QCOMPARE(panel->text(), QStringLiteral(" Ready"));
    QCOMPARE(panel->panelWidth(), QFontMetrics(panel->font()).horizontalAdvance(" Readya"));
    w.status("12/345 Mbytes, Remaining time: 0:01:02", 1);
    QCOMPARE(child<StatusPanel>(w, "StatusPanel1")->text(),
             QStringLiteral(" 12/345 Mbytes, Remaining time: 0:01:02"));
    QCOMPARE(child<QStatusBar>(w, "StatusBar")->toolTip(),
             QStringLiteral("12/345 Mbytes, Remaining time: 0:01:02"));
  }

  void aFirstStartWithoutKeyKeepsTheDefaultsAndWritesOnlyAtClose() {
    QVERIFY(!SettingsStore::exists());
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    QVERIFY(!SettingsStore::exists());
    QVERIFY(box(w, "cbFastCheck")->isChecked());
    QCOMPARE(child<QLineEdit>(w, "eAudioExt")->text(), QStringLiteral("mpa"));
    w.close();
    const Settings saved = SettingsStore::load();
    QCOMPARE(saved.fastCheck, std::optional<bool>(true));
    QCOMPARE(saved.autoDemux, std::optional<bool>(false));
    QCOMPARE(saved.treeWidth, std::optional<int>(96));
    QCOMPARE(saved.windowState, std::optional<int>(0));
    QVERIFY(SettingsStore::installDate().has_value());
  }

  void settingsSurviveAClose() {
    {
      RunState state;
      TfMain w(state);
      QVERIFY(uitest::showActive(&w));
      box(w, "cbFastCheck")->setChecked(false);
      box(w, "cbAutoClear")->setChecked(true);
      child<QRadioButton>(w, "rbAutoRebuild")->setChecked(true);
      child<QLineEdit>(w, "eVideoExt")->setText(QStringLiteral("m2v"));
      child<QLineEdit>(w, "eWorkdir")->setText(QStringLiteral("/srv/out"));
      child<QComboBox>(w, "cmbLpcmAs")->setCurrentIndex(2);
      child<QComboBox>(w, "cmbSubpicturesAs")->setCurrentIndex(1);
      box(w, "cbCodecExt")->setChecked(true);
      w.WMDropFiles(QStringLiteral("/d/MOVIE/ADV_OBJ/VPLST000.XPL"));
      w.setGeometry(QRect(70, 60, 480, 440));
      w.close();
    }
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    QVERIFY(!box(w, "cbFastCheck")->isChecked());
    QVERIFY(!state.options.FastCheck);  // the option reaches the run state too
    QVERIFY(box(w, "cbAutoClear")->isChecked());
    QVERIFY(child<QRadioButton>(w, "rbAutoRebuild")->isChecked());
    QVERIFY(!child<QRadioButton>(w, "rbNoAuto")->isChecked());
    QCOMPARE(child<QLineEdit>(w, "eVideoExt")->text(), QStringLiteral("m2v"));
    QCOMPARE(child<QLineEdit>(w, "eWorkdir")->text(), QStringLiteral("/srv/out"));
    QCOMPARE(child<QComboBox>(w, "cmbLpcmAs")->currentText(), QStringLiteral("FLAC"));
    QCOMPARE(child<QComboBox>(w, "cmbSubpicturesAs")->currentText(), QStringLiteral("VobSub"));
    QVERIFY(box(w, "cbCodecExt")->isChecked());
    QVERIFY(!child<QLineEdit>(w, "eVideoExt")->isEnabled());
    QCOMPARE(w.evoDir(), QDir::toNativeSeparators("/d/MOVIE/HVDVD_TS/"));
    QCOMPARE(w.xplDir(), QDir::toNativeSeparators("/d/MOVIE/ADV_OBJ/"));
    QTRY_COMPARE(w.geometry(), QRect(70, 60, 480, 440));
  }

  void aMaximisedCloseKeepsTheNormalBounds() {
    {
      RunState state;
      TfMain w(state);
      QVERIFY(uitest::showActive(&w));
      w.setGeometry(QRect(50, 40, 400, 420));
      w.close();
    }
    const Settings normal = SettingsStore::load();
    {
      RunState state;
      TfMain w(state);
      QVERIFY(uitest::showActive(&w));
      w.showMaximized();
      QTRY_VERIFY(w.isMaximized());
      w.close();
    }
    const Settings saved = SettingsStore::load();
    QCOMPARE(saved.windowState, std::optional<int>(2));
    QCOMPARE(saved.top, normal.top);
    QCOMPARE(saved.left, normal.left);
    QCOMPARE(saved.width, normal.width);
    QCOMPARE(saved.height, normal.height);
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    QTRY_VERIFY(w.isMaximized());
  }

  void aFirstActivationDuringARunLeavesItsSelection() {
    const QString input = dir_.path() + QStringLiteral("/LATE.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 2560));
    RunState state;
    TfMain w(state);  // a file dropped on a window that has not been active yet
    box(w, "cbDetails")->setChecked(false);
    w.WMDropFiles(input);
    QTimer::singleShot(0, &w, [&] {
      QEvent activate(QEvent::WindowActivate);
      QApplication::sendEvent(&w, &activate);
    });
    button(w, "bDemux")->click();
    QVERIFY(box(w, "cbAudio00")->isChecked());
    QCOMPARE(fileBytes(dir_.path() + QStringLiteral("/LATE.DD.stream.00.mpa")).size(),
             size_t{2560} * uitest::kPayload);
  }

  void aStoredFormTheListsDoNotHaveLeavesThemAsTheyAre() {
    std::unique_ptr<QSettings> raw(new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                                 QStringLiteral("Quorrel Software"),
                                                 QStringLiteral("Korvell")));
    raw->setValue(QStringLiteral("LpcmAs"), 3);
    raw->setValue(QStringLiteral("SubpicturesAs"), -1);
    raw->sync();
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    QCOMPARE(child<QComboBox>(w, "cmbLpcmAs")->currentIndex(), 0);
    QCOMPARE(child<QComboBox>(w, "cmbSubpicturesAs")->currentIndex(), 0);
  }

  // The window's Demux with "LPCM as" FLAC and "Subpictures as" VobSub writes the files
  // korvell-cli demux --lpcm flac --subs vobsub writes, byte for byte.
  void theWindowWritesTheFilesOfTheCommandLine() {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0 ||
        std::system("command -v spumux >/dev/null 2>&1") != 0) {
      QSKIP("ffmpeg or spumux is not installed: the window's output forms are not compared");
    }
    const QString vob = dir_.path() + QStringLiteral("/forms/VTS_01_1.VOB");
    const QString fromWindow = dir_.path() + QStringLiteral("/forms/window");
    const QString fromCli = dir_.path() + QStringLiteral("/forms/cli");
    QVERIFY(QDir().mkpath(fromWindow) && QDir().mkpath(fromCli));
    const testing::CommandResult made =
        testing::runCommand(std::string(KORVELL_SOURCE_DIR) + "/testdata/make_spumux_vob.sh '" +
                            vob.toStdString() + "' --audio");
    QVERIFY2(made.status == 0, made.output.c_str());
    const testing::CommandResult cli =
        testing::runCommand(std::string(KORVELL_CLI) + " demux --lpcm flac --subs vobsub '" +
                            vob.toStdString() + "' -o '" + fromCli.toStdString() + "'");
    QVERIFY2(cli.status == 0, cli.output.c_str());

    RunState state;
    TfMain w(state);
    w.show();
    child<QLineEdit>(w, "eWorkdir")->setText(fromWindow);
    child<QComboBox>(w, "cmbLpcmAs")->setCurrentText(QStringLiteral("FLAC"));
    child<QComboBox>(w, "cmbSubpicturesAs")->setCurrentText(QStringLiteral("VobSub"));
    uitest::dropPaths(&w, {vob});  // Auto read is on
    button(w, "bDemux")->click();
    QVERIFY(consoleText(w).contains(QStringLiteral("Done.")));
    const QStringList names = QDir(fromCli).entryList(QDir::Files, QDir::Name);
    QCOMPARE(QDir(fromWindow).entryList(QDir::Files, QDir::Name), names);
    QVERIFY(names.contains(QStringLiteral("VTS_01_1.LPCM.stream.00.flac")));
    QVERIFY(names.contains(QStringLiteral("VTS_01_1.Subpicture.01.idx")));
    for (const QString& name : names) {
      QVERIFY2(fileBytes(fromWindow + QLatin1Char('/') + name) ==
                   fileBytes(fromCli + QLatin1Char('/') + name),
               qPrintable(name));
    }
    // Each file once in the console, as the command line prints it.
    for (const QString& name : names) {
      const QString line = QStringLiteral("Creating ") +
                           QDir::toNativeSeparators(fromWindow + QLatin1Char('/') + name);
      QCOMPARE(consoleText(w).count(line), 1);
    }
  }

  void onlyTheFirstActivationLoadsAndResets() {
    const QString input = dir_.path() + QStringLiteral("/ACT.EVO");
    QVERIFY(uitest::writeSyntheticInput(input, 4));
    std::unique_ptr<QSettings> raw(new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                                 QStringLiteral("Quorrel Software"),
                                                 QStringLiteral("Korvell")));
    raw->setValue(QStringLiteral("Details"), 0);
    raw->sync();
    RunState state;
    TfMain w(state);
    QVERIFY(uitest::showActive(&w));
    QVERIFY(!box(w, "cbDetails")->isChecked());
    QVERIFY(!state.options.Details);
    w.WMDropFiles(input);
    QVERIFY(box(w, "cbAudio00")->isChecked());
    box(w, "cbDetails")->setChecked(true);
    QEvent activate(QEvent::WindowActivate);  // the window becomes active again later
    QApplication::sendEvent(&w, &activate);
    QVERIFY(box(w, "cbAudio00")->isChecked());
    QVERIFY(box(w, "cbDetails")->isChecked());
  }

 private:
  QTemporaryDir dir_;
};

int uitest::runMainWindowTests(int argc, char** argv) {
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace korvell

#include "main_window_test.moc"
