#include "ui/status_panel.h"

#include <QFontMetrics>
#include <QLayout>

namespace korvell {

StatusPanel::StatusPanel(const QString& objectName, int initialWidth, QWidget* parent)
    : QLabel(parent), width_(initialWidth) {
  setObjectName(objectName);
  setTextFormat(Qt::PlainText);
}

void StatusPanel::setPanelText(const QString& text) {
  const QString shown = QStringLiteral(" ") + text;
  setText(shown);
  width_ = QFontMetrics(font()).horizontalAdvance(shown + QStringLiteral("a"));
  updateGeometry();
  if (QWidget* bar = parentWidget()) {
    if (QLayout* layout = bar->layout()) layout->activate();  // the new width, at once
    bar->repaint();
  }
  repaint();
}

QSize StatusPanel::sizeHint() const {
  return {width_, QLabel::sizeHint().height()};
}

QSize StatusPanel::minimumSizeHint() const {
  // A long file name must never force the window to grow: the panel may be cut short.
  return {0, QLabel::minimumSizeHint().height()};
}

}  // namespace korvell
