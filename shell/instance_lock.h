// instance_lock.h: the rule of one running copy per station folder, held with a lock file.
// Owns the lock for the life of the program; showing the refusal is the caller's job.
#pragma once

#include <QLockFile>
#include <QString>

namespace zolk::shell {

inline constexpr const char* kAnotherCopyMessage =
    "Error: Another copy of ZOLK is running from this folder. "
    "Only one copy can be run at a time from the same folder";

class InstanceLock {
public:
    explicit InstanceLock(const QString& stationFolder);
    // Takes the lock without waiting. A lock left by a copy that died is taken over.
    // On failure error() holds the text to show the operator.
    bool acquire();
    const QString& error() const { return m_error; }

private:
    QString m_path;
    QLockFile m_file;
    QString m_error;
};

}  // namespace zolk::shell
