#include <QSettings>
#include <QTest>

#include "ui/settings_store.h"
#include "ui/ui_test_support.h"

namespace korvell {

namespace {

QSettings* rawStore() {
  return new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromLatin1(SettingsStore::kOrganisation),
                       QString::fromLatin1(SettingsStore::kApplication));
}

Settings fullRecord() {
  Settings s;
  s.windowState = 0;
  s.top = 40;
  s.left = 30;
  s.width = 500;
  s.height = 450;
  s.treeWidth = 120;
  s.audioExt = QStringLiteral("ac3");
  s.videoExt = QStringLiteral("m2v");
  s.subExt = QStringLiteral("sup");
  s.workdir = QStringLiteral("/tmp/out");
  s.evoDir = QStringLiteral("/media/disc/HVDVD_TS/");
  s.xplDir = QStringLiteral("/media/disc/ADV_OBJ/");
  s.continueOn = false;
  s.fastCheck = true;
  s.countFrames = false;
  s.details = true;
  s.autoRead = false;
  s.autoDemux = false;
  s.autoRebuild = true;
  s.autoClear = true;
  s.delayNames = true;
  s.writeChapters = false;
  s.lpcmAs = 2;
  s.subpicturesAs = 1;
  s.codecExtensions = true;
  return s;
}

}  // namespace

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { uitest::clearSettings(); }

  void anAbsentStoreLoadsNothingAndCreatesNothing() {
    QVERIFY(!SettingsStore::exists());
    QCOMPARE(SettingsStore::load(), Settings{});
    QVERIFY(!SettingsStore::exists());
  }

  void aRecordRoundTripsWithItsTypes() {
    SettingsStore::save(fullRecord());
    QCOMPARE(SettingsStore::load(), fullRecord());
    std::unique_ptr<QSettings> raw(rawStore());
    // Booleans are the integers 1 and 0.
    QCOMPARE(raw->value(QStringLiteral("AutoRebuild")).toString(), QStringLiteral("1"));
    QCOMPARE(raw->value(QStringLiteral("Continue")).toString(), QStringLiteral("0"));
    QCOMPARE(raw->value(QStringLiteral("Width")).toInt(), 500);
    QCOMPARE(raw->value(QStringLiteral("LpcmAs")).toString(), QStringLiteral("2"));
    QCOMPARE(raw->value(QStringLiteral("CodecExtensions")).toString(), QStringLiteral("1"));
  }

  void absentValuesStayAbsent() {
    Settings partial;
    partial.windowState = 2;  // a maximised close writes no bounds
    partial.videoExt = QStringLiteral("mpv");
    SettingsStore::save(partial);
    const Settings loaded = SettingsStore::load();
    QCOMPARE(loaded.windowState, std::optional<int>(2));
    QVERIFY(!loaded.top && !loaded.width && !loaded.autoRead);
  }

  void anyNonZeroIntegerReadsAsTrueAndAWrongTypeAsAbsent() {
    std::unique_ptr<QSettings> raw(rawStore());
    raw->setValue(QStringLiteral("AutoRead"), 7);
    raw->setValue(QStringLiteral("Details"), 0);
    raw->setValue(QStringLiteral("Width"), QStringLiteral("wide"));
    raw->setValue(QStringLiteral("SubpicturesAs"), QStringLiteral("pgs"));
    raw->setValue(QStringLiteral("CodecExtensions"), 3);
    raw->sync();
    const Settings loaded = SettingsStore::load();
    QCOMPARE(loaded.autoRead, std::optional<bool>(true));
    QCOMPARE(loaded.details, std::optional<bool>(false));
    QVERIFY(!loaded.width);
    QVERIFY(!loaded.subpicturesAs);
    QCOMPARE(loaded.codecExtensions, std::optional<bool>(true));
  }

  void installIsWrittenOnceAsDaysSince1899() {
    const QDateTime first(QDate(2000, 1, 1), QTime(18, 0));
    SettingsStore::save(fullRecord(), first);
    // 2000-01-01 is day 36526; six in the evening is three quarters of a day.
    QCOMPARE(SettingsStore::installDate(), std::optional<double>(36526.75));
    SettingsStore::save(fullRecord(), QDateTime(QDate(2010, 6, 1), QTime(9, 0)));
    QCOMPARE(SettingsStore::installDate(), std::optional<double>(36526.75));
    std::unique_ptr<QSettings> raw(rawStore());
    QCOMPARE(raw->value(QStringLiteral("Install")).toByteArray().size(), 8);
  }
};

int uitest::runSettingsStoreTests(int argc, char** argv) {
  SettingsStoreTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace korvell

#include "settings_store_test.moc"
