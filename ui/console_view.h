// The console reMessage: a read-only rich-text view that shows one line per message, with the
// inline markup of report/markup.h rendered as bold, italic, underline, size and colour.
#pragma once

#include <QString>
#include <QTextEdit>

namespace korvell {

class ConsoleView : public QTextEdit {
  Q_OBJECT

 public:
  explicit ConsoleView(QWidget* parent = nullptr);

  /// Appends one message as a new line at the end and leaves the caret there, so the newest
  /// line is in view. Text outside tags is regular; an empty message appends an empty line.
  /// The default text colour is the palette's window-text colour at the time of the call.
  void log(const QString& message);

  /// Empties the console; the next message becomes its first line.
  void clearLines();

  /// Number of lines appended since the last clear.
  int lineCount() const { return lines_; }

 private:
  int lines_ = 0;
};

}  // namespace korvell
