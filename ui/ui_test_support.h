// Shared pieces of the window tests: isolated settings, synthetic inputs, drops, activation.
#pragma once

#include <cstdint>

#include <QString>

class QWidget;

namespace korvell::uitest {

/// Points the per-user settings store of this process at `folder`, never the user's own.
void isolateSettings(const QString& folder);
/// Removes every stored value.
void clearSettings();

/// A program stream of 2,048-byte packs: a first pack with the system header, then
/// `pairs` times a video pack (MPEG-2, stream 0xE0, kPayload bytes) followed by an audio pack
/// (AC-3 0x80, kPayload bytes). Returns false if the file cannot be written.
constexpr int kPayload = 2000;
bool writeSyntheticInput(const QString& path, int pairs);

/// Drops `urls` (file paths are turned into local file URLs) on the widget as a file manager
/// would.
void dropPaths(QWidget* target, const QStringList& paths);

/// Shows the window and waits until it is active; false if it never became active.
bool showActive(QWidget* window);

int runConsoleViewTests(int argc, char** argv);
int runSettingsStoreTests(int argc, char** argv);
int runMainWindowTests(int argc, char** argv);

}  // namespace korvell::uitest
