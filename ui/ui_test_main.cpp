// The window tests, run on the offscreen platform with a settings store of their own.
// With --screenshot FILE the program instead shows the real window after a Read run of the
// sample disc and saves a picture of it.
#include <cstring>
#include <string>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "runs/run_state.h"
#include "testing/sample_disc.h"
#include "ui/main_window.h"
#include "ui/ui_test_support.h"

namespace {

int takeScreenshot(const QString& file) {
  QTemporaryDir disc;
  std::string error;
  if (!korvell::testing::writeSampleDisc(disc.path().toStdString(), KORVELL_SOURCE_DIR "/testdata",
                                         0, &error)) {
    qCritical("cannot write the sample disc: %s", error.c_str());
    return 1;
  }
  korvell::RunState state;
  korvell::TfMain window(state);  // at the size of a first start
  if (!korvell::uitest::showActive(&window)) qWarning("the window did not become active");
  window.WMDropFiles(disc.path() + QStringLiteral("/HVDVD_TS/FEATURE_1.EVO"));
  QTest::qWait(300);
  if (!window.grab().save(file)) {
    qCritical("cannot save %s", qPrintable(file));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // tests close windows, the program goes on
  QTemporaryDir settingsFolder;
  korvell::uitest::isolateSettings(settingsFolder.path());
  if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
    return takeScreenshot(QString::fromLocal8Bit(argv[2]));
  }
  int failures = 0;
  failures += korvell::uitest::runConsoleViewTests(argc, argv);
  failures += korvell::uitest::runSettingsStoreTests(argc, argv);
  failures += korvell::uitest::runMainWindowTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
