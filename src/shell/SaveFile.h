#pragma once
// Writes a whole file or nothing: the bytes go to a temporary file in the same directory,
// which replaces `path` only when every byte is on disk.
#include <QByteArray>
#include <QString>

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);
