// The recent-file list of the File menu: at most four files, the latest
// first, kept in the settings file of organisation "Local AppWizard-Generated
// Applications" and the application's name, section "Recent File List",
// keys "File1" to "File4". Names are kept as the file system's bytes: as
// text where the bytes are UTF-8 (as the list always stored them), else as
// the bytes themselves.
#pragma once
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class RecentFileList {
public:
    static constexpr int kSize = 4;

    // Loads the list of the named application.
    explicit RecentFileList(const QString& application);

    // Puts a file first (a file already listed moves up; the fifth drops
    // off) and saves the list.
    void Add(const std::string& path);
    void Add(const QString& path);
    // Removes entry `index` (0 = first) and saves the list; other indexes are
    // ignored.
    void Remove(int index);
    // The names as bytes, to open, and as text, to show.
    const std::vector<std::string>& Paths() const { return m_files; }
    QStringList Files() const;

private:
    void Save() const;

    QString m_application;
    std::vector<std::string> m_files;
};
