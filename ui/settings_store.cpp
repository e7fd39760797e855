#include "ui/settings_store.h"

#include <array>
#include <cstring>
#include <memory>

#include <QByteArray>
#include <QSettings>
#include <QVariant>

#include "runs/run_settings.h"

namespace korvell {

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

// Every form, in the order the window's lists had when the store kept a form by its place
// there: fixed, whatever order the lists have now.
constexpr std::array kStoredLpcmPlaces{LpcmForm::Raw, LpcmForm::Wav, LpcmForm::Flac};
constexpr std::array kStoredSubpicturePlaces{SubpictureForm::SupRecords, SubpictureForm::VobSub,
                                             SubpictureForm::Pgs};

std::unique_ptr<QSettings> openStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromLatin1(SettingsStore::kOrganisation),
                                     QString::fromLatin1(SettingsStore::kApplication));
}

void readInt(const QSettings& store, const char* name, std::optional<int>& field) {
  const QString key = QString::fromLatin1(name);
  if (!store.contains(key)) return;
  bool ok = false;
  const int value = store.value(key).toInt(&ok);
  if (ok) field = value;
}

void readBool(const QSettings& store, const char* name, std::optional<bool>& field) {
  std::optional<int> value;
  readInt(store, name, value);
  if (value) field = *value != 0;
}

void readText(const QSettings& store, const char* name, std::optional<QString>& field) {
  const QString key = QString::fromLatin1(name);
  if (store.contains(key)) field = store.value(key).toString();
}

// A form by its name, or by its old place in `forms`.
template <typename Form, size_t N>
void readForm(const QSettings& store, const char* name, const std::array<Form, N>& forms,
              std::optional<Form>& field) {
  const QString key = QString::fromLatin1(name);
  if (!store.contains(key)) return;
  const QString value = store.value(key).toString();
  for (const Form form : forms) {
    if (value == QLatin1String(formName(form))) {
      field = form;
      return;
    }
  }
  bool ok = false;
  const int place = value.toInt(&ok);
  if (ok && place >= 0 && place < static_cast<int>(N)) field = forms[static_cast<size_t>(place)];
}

void writeInt(QSettings& store, const char* name, const std::optional<int>& field) {
  if (field) store.setValue(QString::fromLatin1(name), *field);
}

void writeBool(QSettings& store, const char* name, const std::optional<bool>& field) {
  if (field) store.setValue(QString::fromLatin1(name), *field ? 1 : 0);
}

void writeText(QSettings& store, const char* name, const std::optional<QString>& field) {
  if (field) store.setValue(QString::fromLatin1(name), *field);
}

template <typename Form>
void writeForm(QSettings& store, const char* name, const std::optional<Form>& field) {
  if (field) store.setValue(QString::fromLatin1(name), QString::fromLatin1(formName(*field)));
}

}  // namespace

bool SettingsStore::exists() {
  return !openStore()->allKeys().isEmpty();
}

Settings SettingsStore::load() {
  Settings s;
  const auto opened = openStore();
  const QSettings& store = *opened;
  if (store.allKeys().isEmpty()) return s;
  // Size before position before state: a window restored maximised keeps its normal bounds.
  readInt(store, "Width", s.width);
  readInt(store, "Height", s.height);
  readInt(store, "Top", s.top);
  readInt(store, "Left", s.left);
  readInt(store, "WindowState", s.windowState);
  readInt(store, "TreeWidth", s.treeWidth);
  readText(store, "AudioExt", s.audioExt);
  readText(store, "VideoExt", s.videoExt);
  readText(store, "SubExt", s.subExt);
  readText(store, "Workdir", s.workdir);
  readText(store, "EVOdir", s.evoDir);
  readText(store, "XPLdir", s.xplDir);
  readBool(store, "Continue", s.continueOn);
  readBool(store, "FastCheck", s.fastCheck);
  readBool(store, "CountFrames", s.countFrames);
  readBool(store, "Details", s.details);
  readBool(store, "AutoRead", s.autoRead);
  readBool(store, "AutoDemux", s.autoDemux);
  readBool(store, "AutoRebuild", s.autoRebuild);
  readBool(store, "AutoClear", s.autoClear);
  readBool(store, "DelayNames", s.delayNames);
  readBool(store, "WriteChapters", s.writeChapters);
  readForm(store, "LpcmAs", kStoredLpcmPlaces, s.lpcmAs);
  readForm(store, "SubpicturesAs", kStoredSubpicturePlaces, s.subpicturesAs);
  readBool(store, "CodecExtensions", s.codecExtensions);
  return s;
}

void SettingsStore::save(const Settings& s, const QDateTime& now) {
  const auto opened = openStore();
  QSettings& store = *opened;
  writeInt(store, "WindowState", s.windowState);
  writeInt(store, "Top", s.top);
  writeInt(store, "Left", s.left);
  writeInt(store, "Width", s.width);
  writeInt(store, "Height", s.height);
  writeInt(store, "TreeWidth", s.treeWidth);
  writeText(store, "AudioExt", s.audioExt);
  writeText(store, "VideoExt", s.videoExt);
  writeText(store, "SubExt", s.subExt);
  writeText(store, "Workdir", s.workdir);
  writeText(store, "EVOdir", s.evoDir);
  writeText(store, "XPLdir", s.xplDir);
  writeBool(store, "Continue", s.continueOn);
  writeBool(store, "FastCheck", s.fastCheck);
  writeBool(store, "CountFrames", s.countFrames);
  writeBool(store, "Details", s.details);
  writeBool(store, "AutoRead", s.autoRead);
  writeBool(store, "AutoDemux", s.autoDemux);
  writeBool(store, "AutoRebuild", s.autoRebuild);
  writeBool(store, "AutoClear", s.autoClear);
  writeBool(store, "DelayNames", s.delayNames);
  writeBool(store, "WriteChapters", s.writeChapters);
  writeForm(store, "LpcmAs", s.lpcmAs);
  writeForm(store, "SubpicturesAs", s.subpicturesAs);
  writeBool(store, "CodecExtensions", s.codecExtensions);
  const QString install = QStringLiteral("Install");
  if (!store.contains(install)) {
    const double days = daysSince1899(now);
    QByteArray bytes(sizeof days, '\0');
    std::memcpy(bytes.data(), &days, sizeof days);
    store.setValue(install, bytes);
  }
  store.sync();
}

std::optional<double> SettingsStore::installDate() {
  const auto opened = openStore();
  const QSettings& store = *opened;
  const QString install = QStringLiteral("Install");
  if (!store.contains(install)) return std::nullopt;
  const QByteArray bytes = store.value(install).toByteArray();
  if (bytes.size() != static_cast<qsizetype>(sizeof(double))) return std::nullopt;
  double days = 0;
  std::memcpy(&days, bytes.constData(), sizeof days);
  return days;
}

double SettingsStore::daysSince1899(const QDateTime& local) {
  const QDate epoch(1899, 12, 30);
  return static_cast<double>(epoch.daysTo(local.date())) +
         local.time().msecsSinceStartOfDay() / kMillisecondsPerDay;
}

}  // namespace korvell
