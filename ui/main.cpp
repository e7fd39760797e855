// korvell: the desktop program. Creates the run state and the one main window.
#include <QApplication>

#include "runs/run_state.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("HD DVD Korvell"));
  korvell::RunState state;
  korvell::TfMain window(state);
  window.show();
  return QApplication::exec();
}
