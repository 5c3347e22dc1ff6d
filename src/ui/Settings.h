#pragma once
// Choices the program remembers between runs (window places, data-log choices, plot and spectrum
// options). Kept apart from the settings file, whose three lines stay as they are.
#include <QSettings>
#include <memory>

namespace ui {

// The store of organisation "SensorBench", application "Sensor Bench". A test process (one that
// intercepts modal windows) gets a fresh temporary store, never the user's.
std::unique_ptr<QSettings> Settings();

// Points the store at `dir` (tests that check what survives a restart).
void SetSettingsDirectory(const QString& dir);

} // namespace ui
