#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include "ui/console_view.h"
#include "ui/ui_test_support.h"

namespace korvell {
namespace {

// The character format at `position` of line `line`.
QTextCharFormat formatAt(const ConsoleView& view, int line, int position) {
  const QTextBlock block = view.document()->findBlockByNumber(line);
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + position + 1);  // the format of the character before
  return cursor.charFormat();
}

QString lineText(const ConsoleView& view, int line) {
  return view.document()->findBlockByNumber(line).text();
}

}  // namespace

class ConsoleViewTest : public QObject {
  Q_OBJECT

 private slots:
  void severalTagsOnOneLineFormatTheirRanges() {
    ConsoleView view;
    QPalette palette = view.palette();
    palette.setColor(QPalette::WindowText, QColor(10, 20, 30));
    view.setPalette(palette);
    view.log(QStringLiteral(
        "   Size = [bl]1920[/bl]x[bl]1080[/bl], [re]ES[/re] [i]it[/i] [u]un[/u] [s1]m[/s1] "
        "[s2]L[/s2] [c:00FF00]g[/c:00FF00] [B]r[/B]"));
    //                 0123456789012345678901234567890123456789
    QCOMPARE(lineText(view, 0), QStringLiteral("   Size = 1920x1080, ES it un m L g r"));
    const QColor windowText(10, 20, 30);

    const QTextCharFormat lead = formatAt(view, 0, 0);  // the blanks before "Size"
    QCOMPARE(lead.fontWeight(), int(QFont::Normal));
    QCOMPARE(lead.foreground().color(), windowText);
    QCOMPARE(lead.fontPointSize(), 8.0);

    for (int at : {10, 13, 15, 18}) {  // "1920" and "1080": blue and bold
      const QTextCharFormat value = formatAt(view, 0, at);
      QCOMPARE(value.fontWeight(), int(QFont::Bold));
      QCOMPARE(value.foreground().color(), QColor(0, 0, 255));
    }
    const QTextCharFormat times = formatAt(view, 0, 14);  // the "x" between them
    QCOMPARE(times.fontWeight(), int(QFont::Normal));
    QCOMPARE(times.foreground().color(), windowText);

    const QTextCharFormat red = formatAt(view, 0, 21);  // "ES"
    QCOMPARE(red.fontWeight(), int(QFont::Bold));
    QCOMPARE(red.foreground().color(), QColor(255, 0, 0));
    QVERIFY(formatAt(view, 0, 24).fontItalic());  // "it"
    QVERIFY(!formatAt(view, 0, 24).fontUnderline());
    QVERIFY(formatAt(view, 0, 27).fontUnderline());         // "un"
    QCOMPARE(formatAt(view, 0, 30).fontPointSize(), 10.0);  // "m"
    QCOMPARE(formatAt(view, 0, 32).fontPointSize(), 12.0);  // "L"
    // c:00FF00 is a colour word with green in its middle byte.
    QCOMPARE(formatAt(view, 0, 34).foreground().color(), QColor(0, 255, 0));
    const QTextCharFormat upper = formatAt(view, 0, 36);  // [B] is no known tag: reset
    QCOMPARE(upper.fontWeight(), int(QFont::Normal));
    QCOMPARE(upper.foreground().color(), windowText);
    QCOMPARE(upper.fontPointSize(), 8.0);
  }

  void eachMessageIsALineAndTheCaretFollowsTheLast() {
    ConsoleView view;
    view.log(QStringLiteral("Opening file [b]FEATURE_1.EVO[/b]"));
    view.log(QString());
    view.log(QStringLiteral("Done."));
    QCOMPARE(view.document()->blockCount(), 3);
    QCOMPARE(lineText(view, 0), QStringLiteral("Opening file FEATURE_1.EVO"));
    QCOMPARE(lineText(view, 1), QString());
    QCOMPARE(lineText(view, 2), QStringLiteral("Done."));
    QCOMPARE(formatAt(view, 0, 13).fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(view, 0, 2).fontWeight(), int(QFont::Normal));
    QVERIFY(view.textCursor().atEnd());
    QVERIFY(view.isReadOnly());
  }

  void clearingStartsAgainAtTheFirstLine() {
    ConsoleView view;
    view.log(QStringLiteral("one"));
    view.log(QStringLiteral("two"));
    view.clearLines();
    QCOMPARE(view.lineCount(), 0);
    view.log(QStringLiteral("three"));
    QCOMPARE(view.document()->blockCount(), 1);
    QCOMPARE(view.toPlainText(), QStringLiteral("three"));
  }
};

int uitest::runConsoleViewTests(int argc, char** argv) {
  ConsoleViewTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace korvell

#include "console_view_test.moc"
