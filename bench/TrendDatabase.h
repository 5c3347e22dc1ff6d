#pragma once
// A monitoring database of `count` captures a minute apart, as a long unattended run leaves it:
// every 100th capture lost, figures for the three channels of the others. Written in one SQL
// transaction, so a test can make 100,000 captures in a second or two.
#include "monitor/MonitorStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

inline bool MakeTrendDatabase(const QString& path, int count, QString* error)
{
    {
        monitor::Store store; // the schema, as the program makes it
        if (!store.Open(path, error))
            return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make-trend"));
        db.setDatabaseName(path);
        ok = db.open() && db.transaction();
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral(
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO captures (id, time_utc, product, mode, avg_exponent, sample_rate, supply, "
                       "temperature, status, complete, loss_reason, machine_class, g_per_count) "
                       "SELECT i, strftime('%Y-%m-%dT%H:%M:%S.000Z', 1767225600 + i * 60, 'unixepoch'), 31473, 0, 4, "
                       "CASE WHEN i % 100 = 0 THEN NULL ELSE 4000 END, 3.3, 25, 0, i % 100 <> 0, "
                       "CASE WHEN i % 100 = 0 THEN 'card pulled' END, 'group2-rigid', 0.00098 FROM n")
                       .arg(count));
        ok = ok && q.exec(QStringLiteral(
                       "INSERT INTO figures SELECT c.id, ch.k, ch.name, 0, 0.5 + ch.k * 0.1, 3, 1.5, 3, 500, 0.5, "
                       "1 + (c.id % 720) / 100.0 + ch.k, 'B' FROM captures c, "
                       "(SELECT 0 AS k, 'X acc' AS name UNION ALL SELECT 1, 'Y acc' UNION ALL SELECT 2, 'Z acc') ch "
                       "WHERE c.complete = 1"));
        ok = ok && db.commit();
        if (!ok && error)
            *error = q.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make-trend"));
    return ok;
}
