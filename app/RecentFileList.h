// The recent-file list of the File menu: at most four files, the latest
// first, kept in the settings file of organisation "Local AppWizard-Generated
// Applications" and the application's name, section "Recent File List",
// keys "File1" to "File4".
#pragma once
#include <QString>
#include <QStringList>

class RecentFileList {
public:
    static constexpr int kSize = 4;

    // Loads the list of the named application.
    explicit RecentFileList(const QString& application);

    // Puts a file first (a file already listed moves up; the fifth drops
    // off) and saves the list.
    void Add(const QString& path);
    // Removes entry `index` (0 = first) and saves the list; other indexes are
    // ignored.
    void Remove(int index);
    const QStringList& Files() const { return m_files; }

private:
    void Save() const;

    QString m_application;
    QStringList m_files;
};
