#include "ui/console_view.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

#include "report/markup.h"

namespace korvell {

namespace {

constexpr int kDefaultPointSize = 8;

QColor colourOf(uint32_t bgr) {
  // The markup's colour word holds red in its lowest byte, then green, then blue.
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace

ConsoleView::ConsoleView(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setAcceptDrops(false);  // files dropped here go to the window
  setLineWrapMode(QTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(kDefaultPointSize);
  document()->setDefaultFont(font);
}

void ConsoleView::log(const QString& message) {
  const std::vector<StyledSegment> segments = parseMarkup(message.toStdString());
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (lines_ > 0) cursor.insertBlock();
  ++lines_;
  const QColor defaultColour = palette().color(QPalette::WindowText);
  for (const StyledSegment& segment : segments) {
    QTextCharFormat format;
    format.setFontWeight(segment.style.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(segment.style.italic);
    format.setFontUnderline(segment.style.underline);
    format.setFontPointSize(segment.style.pointSize);
    format.setForeground(segment.style.colour ? colourOf(*segment.style.colour) : defaultColour);
    cursor.insertText(QString::fromStdString(segment.text), format);
  }
  setTextCursor(cursor);
  ensureCursorVisible();
  horizontalScrollBar()->setValue(0);  // the newest line in view, read from its start
}

void ConsoleView::clearLines() {
  clear();
  lines_ = 0;
}

}  // namespace korvell
