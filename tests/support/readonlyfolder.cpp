#include "readonlyfolder.h"

#include <QDir>
#include <QFile>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr unsigned OverrideCapabilities[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

bool setEffective(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const unsigned cap : OverrideCapabilities) {
        if (on)
            data[cap / 32].effective |= data[cap / 32].permitted & (1u << (cap % 32));
        else
            data[cap / 32].effective &= ~(1u << (cap % 32));
    }
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString& path)
    : folder(path)
{
    QDir().mkpath(folder);
    active = ::chmod(QFile::encodeName(folder).constData(), 0555) == 0;
    if (active && ::geteuid() == 0)
        droppedCapabilities = setEffective(false);
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (!active)
        return;
    if (droppedCapabilities)
        setEffective(true);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

bool ReadOnlyFolder::isReadOnly() const
{
    QFile probe(QDir(folder).filePath(QStringLiteral(".probe")));
    if (!probe.open(QIODevice::WriteOnly))
        return true;
    probe.remove();
    return false;
}
