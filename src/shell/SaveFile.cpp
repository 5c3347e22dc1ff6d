#include "shell/SaveFile.h"
#include <QSaveFile>

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Unbuffered, so a short write (full disk, size limit) shows in write()'s count: a
    // buffered short flush can go unnoticed and commit a truncated file.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    QString reason;
    // A short count is no error by itself: writing the rest gets the system's reason.
    qint64 done = 0;
    while (ok && done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (ok && done != bytes.size()) {
        // The system's reason ("No space left on device"), before cancelling replaces it.
        reason = file.errorString();
        file.cancelWriting();
        ok = false;
    }
    // Without a commit the temporary file is discarded.
    if (ok)
        ok = file.commit();
    if (!ok && error)
        *error = reason.isEmpty() ? file.errorString() : reason;
    return ok;
}
