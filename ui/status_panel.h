// One panel of the window's status bar: a label whose width follows the text it was last
// given, the way the runs' status texts expect.
#pragma once

#include <QLabel>
#include <QString>

namespace korvell {

class StatusPanel : public QLabel {
  Q_OBJECT

 public:
  StatusPanel(const QString& objectName, int initialWidth, QWidget* parent = nullptr);

  /// Shows " " + text and sets the panel's width to the pixel width, in the panel's font, of
  /// that text followed by the letter "a". Repaints at once, so the text shows while a run
  /// keeps the user-interface thread busy.
  void setPanelText(const QString& text);

  /// The width the panel asks for.
  int panelWidth() const { return width_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 private:
  int width_;
};

}  // namespace korvell
