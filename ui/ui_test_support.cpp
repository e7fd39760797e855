#include "ui/ui_test_support.h"

#include <fstream>
#include <vector>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include "testing/ps_writer.h"
#include "ui/settings_store.h"

namespace korvell::uitest {

void isolateSettings(const QString& folder) {
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void clearSettings() {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(SettingsStore::kOrganisation),
                  QString::fromLatin1(SettingsStore::kApplication));
  store.clear();
  store.sync();
}

bool writeSyntheticInput(const QString& path, int pairs) {
  using korvell::testing::PsWriter;
  std::vector<uint8_t> video(kPayload);
  std::vector<uint8_t> audio(kPayload);
  // Steps of 13 never give two zero bytes in a row, so no start code hides in the payload.
  for (size_t i = 0; i < video.size(); ++i) {
    video[i] = static_cast<uint8_t>(0x11 + i * 13);
    audio[i] = static_cast<uint8_t>(0x05 + i * 13);
  }
  PsWriter first;
  first.packHeader().systemHeader(1, 1).fillPack();
  PsWriter pair;
  pair.packHeader().pes(0xE0, video, {.pts = 90000, .dts = 90000}).fillPack();
  pair.packHeader().privateStream1(0x80, audio, {.pts = 90000}).fillPack();
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  const auto put = [&out](const std::vector<uint8_t>& bytes) {
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  };
  put(first.bytes());
  for (int i = 0; i < pairs; ++i)
    put(pair.bytes());
  return static_cast<bool>(out);
}

void dropPaths(QWidget* target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) {
    urls.append(path.contains(QStringLiteral("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
  }
  data.setUrls(urls);
  const QPointF at(10, 10);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

bool showActive(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

}  // namespace korvell::uitest
