#include <QSettings>
#include <QTest>

#include "runs/output_forms.h"
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
  s.lpcmAs = LpcmForm::Flac;
  s.subpicturesAs = SubpictureForm::VobSub;
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
    QCOMPARE(raw->value(QStringLiteral("LpcmAs")).toString(), QStringLiteral("flac"));
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
    raw->setValue(QStringLiteral("CodecExtensions"), 3);
    raw->sync();
    const Settings loaded = SettingsStore::load();
    QCOMPARE(loaded.autoRead, std::optional<bool>(true));
    QCOMPARE(loaded.details, std::optional<bool>(false));
    QVERIFY(!loaded.width);
    QCOMPARE(loaded.codecExtensions, std::optional<bool>(true));
  }

  // The forms are kept by name; an integer is the place a form had in the window's list.
  void formsReadByNameOrOldPlace() {
    const struct {
      const char* key;
      QVariant stored;
      const char* form;  // as formName gives it; null for absent
    } cases[] = {
        {"LpcmAs", QStringLiteral("wav"), "wav"},
        {"LpcmAs", 2, "flac"},
        {"LpcmAs", 0, "raw"},
        {"LpcmAs", 3, nullptr},
        {"LpcmAs", QStringLiteral("FLAC"), nullptr},  // the caption is not the name
        {"SubpicturesAs", QStringLiteral("pgs"), "pgs"},
        {"SubpicturesAs", 1, "vobsub"},
        {"SubpicturesAs", -1, nullptr},
        {"SubpicturesAs", QStringLiteral("idx"), nullptr},
    };
    for (const auto& c : cases) {
      uitest::clearSettings();
      std::unique_ptr<QSettings> raw(rawStore());
      raw->setValue(QString::fromLatin1(c.key), c.stored);
      raw->sync();
      const Settings loaded = SettingsStore::load();
      const char* form = nullptr;
      if (loaded.lpcmAs) form = formName(*loaded.lpcmAs);
      if (loaded.subpicturesAs) form = formName(*loaded.subpicturesAs);
      QVERIFY2(QByteArray(form) == QByteArray(c.form),
               qPrintable(QStringLiteral("%1 = %2 read as %3")
                              .arg(QString::fromLatin1(c.key), c.stored.toString(),
                                   QString::fromLatin1(form ? form : "nothing"))));
    }
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
