#include "shell/instance_lock.h"

#include <QDir>

namespace zolk::shell {

InstanceLock::InstanceLock(const QString& stationFolder)
    : m_path(QDir(stationFolder).filePath("zolksat.lock")), m_file(m_path) {
    // Never stale by age: a running copy may hold it for months. A lock whose process is gone
    // is still recognised and removed by QLockFile.
    m_file.setStaleLockTime(0);
}

bool InstanceLock::acquire() {
    if (m_file.tryLock(0)) return true;
    switch (m_file.error()) {
    case QLockFile::LockFailedError:
        m_error = kAnotherCopyMessage;
        break;
    case QLockFile::PermissionError:
        m_error = "Error: Cannot create the lock file " + m_path + ": permission denied";
        break;
    default:
        m_error = "Error: Cannot create the lock file " + m_path;
        break;
    }
    return false;
}

}  // namespace zolk::shell
