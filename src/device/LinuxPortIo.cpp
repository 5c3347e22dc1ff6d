#include "device/LinuxPortIo.h"
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define SB_HAVE_RAW_PORTS 1
#endif

namespace {
constexpr int kPortRegisters = 3;   // data, status, control
}

LinuxPortIo::LinuxPortIo(std::string procRoot, std::string devRoot)
    : procRoot_(std::move(procRoot)), devRoot_(std::move(devRoot))
{
}

LinuxPortIo::~LinuxPortIo() { Release(); }

void LinuxPortIo::Release()
{
    if (fd_ >= 0) {
        ioctl(fd_, PPRELEASE);
        close(fd_);
        fd_ = -1;
    }
#ifdef SB_HAVE_RAW_PORTS
    if (rawAccess_)
        ioperm(base_, kPortRegisters, 0);
#endif
    rawAccess_ = false;
    acquired_ = false;
}

int LinuxPortIo::FindPpdevPort(uint16_t base) const
{
    const QDir dir(QString::fromStdString(procRoot_));
    for (const QString& entry : dir.entryList({QStringLiteral("parport*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(dir.filePath(entry + QStringLiteral("/base-addr")));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        // "888\t1912": the base address, then the extended registers' address.
        const QList<QByteArray> fields = f.readAll().simplified().split(' ');
        bool addrOk = false, numberOk = false;
        const int addr = fields.value(0).toInt(&addrOk);
        const int number = entry.mid(7).toInt(&numberOk);
        if (addrOk && numberOk && addr == base)
            return number;
    }
    return -1;
}

bool LinuxPortIo::Acquire(uint16_t base, QString* error)
{
    Release();
    base_ = base;
    const int number = FindPpdevPort(base);
    if (number >= 0) {
        const std::string node = devRoot_ + "/parport" + std::to_string(number);
        fd_ = open(node.c_str(), O_RDWR);
        if (fd_ < 0 || ioctl(fd_, PPCLAIM) != 0) {
            if (error)
                *error = QStringLiteral("%1: %2 (the user needs to be in group lp)")
                             .arg(QString::fromStdString(node), QString::fromLocal8Bit(std::strerror(errno)));
            if (fd_ >= 0)
                close(fd_);
            fd_ = -1;
            return false;
        }
        acquired_ = true;
        failedBase_ = -1;
        return true;
    }
#ifdef SB_HAVE_RAW_PORTS
    if (ioperm(base, kPortRegisters, 1) == 0) {
        rawAccess_ = true;
        acquired_ = true;
        failedBase_ = -1;
        return true;
    }
    if (error)
        *error = QStringLiteral("no parallel port at %1 hex, and no I/O permission: %2")
                     .arg(QString::number(base, 16).toUpper(), QString::fromLocal8Bit(std::strerror(errno)));
#else
    if (error)
        *error = QStringLiteral("no parallel port at %1 hex").arg(QString::number(base, 16).toUpper());
#endif
    return false;
}

bool LinuxPortIo::Ready(uint16_t port)
{
    // Port bases lie on 4-byte boundaries and a port's registers follow its base.
    const uint16_t base = static_cast<uint16_t>(port & ~3u);
    const bool covers = acquired_ && port >= base_ && port < base_ + kPortRegisters;
    if (covers)
        return true;
    if (failedBase_ == base)
        return false;
    if (Acquire(base, nullptr) && port >= base_ && port < base_ + kPortRegisters)
        return true;
    failedBase_ = base;
    return false;
}

void LinuxPortIo::Out(uint16_t port, uint8_t value)
{
    if (!Ready(port))
        return;
    if (fd_ >= 0) {
        unsigned char v = value;
        if (port == base_)
            ioctl(fd_, PPWDATA, &v);
        else if (port == base_ + 2)
            ioctl(fd_, PPWCONTROL, &v);
        // The status register is read-only through ppdev.
        return;
    }
#ifdef SB_HAVE_RAW_PORTS
    outb(value, port);
#endif
}

uint8_t LinuxPortIo::In(uint16_t port)
{
    if (!Ready(port))
        return 0xFF;
    if (fd_ >= 0) {
        unsigned char v = 0xFF;
        if (port == base_)
            ioctl(fd_, PPRDATA, &v);
        else if (port == base_ + 1)
            ioctl(fd_, PPRSTATUS, &v);
        else
            ioctl(fd_, PPRCONTROL, &v);
        return v;
    }
#ifdef SB_HAVE_RAW_PORTS
    return inb(port);
#else
    return 0xFF;
#endif
}
