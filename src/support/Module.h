#pragma once

#include <QString>
#include <QtGlobal>
#include <mutex>

namespace zorbel {

/// `name` in the folder where the programs' modules are installed, found relative to the
/// running program: the library folder's "zorbel/" (the build folder repeats that layout).
QString moduleBesideProgram(const QString& name);

/// The function `entry` of the module file `path`, or nullptr, logged as `failureCode` with
/// the loader's reason as a warning, when the module cannot be loaded or lacks it. A loaded
/// module stays loaded.
QFunctionPointer resolveModuleEntry(const QString& path, const char* entry,
                                    const char* failureCode);

/// A module loaded on first use, whose entry `const Interface* entry()` gives its one object.
/// Thread safe; after a failure the next use tries again, so a module installed later is found.
template <typename Interface>
class Module {
public:
    Module(QString path, const char* entry, const char* failureCode)
        : m_path(std::move(path)), m_entry(entry), m_failureCode(failureCode) {}

    /// The module's object, or nullptr when it cannot be loaded.
    const Interface* get() const {
        const std::lock_guard lock(m_mutex);
        if (!m_object) {
            using Entry = const Interface* (*)();
            if (const QFunctionPointer entry = resolveModuleEntry(m_path, m_entry, m_failureCode))
                m_object = reinterpret_cast<Entry>(entry)();
        }
        return m_object;
    }

private:
    QString m_path;
    const char* m_entry;
    const char* m_failureCode;
    mutable std::mutex m_mutex;
    mutable const Interface* m_object = nullptr;
};

}  // namespace zorbel
