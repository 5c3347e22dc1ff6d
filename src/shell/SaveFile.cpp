#include "shell/SaveFile.h"
#include <QSaveFile>

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Unbuffered, so a short write (full disk, size limit) shows in write()'s count: a
    // buffered short flush can go unnoticed and commit a truncated file.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (ok && file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        ok = false;
    }
    // Without a commit the temporary file is discarded.
    if (ok)
        ok = file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}
