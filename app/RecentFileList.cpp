#include "RecentFileList.h"

#include "FileNames.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString kOrganisation = QStringLiteral("Local AppWizard-Generated Applications");
const QString kSection = QStringLiteral("Recent File List");

QString KeyOf(int index)
{
    return kSection + QStringLiteral("/File%1").arg(index + 1);
}

} // namespace

RecentFileList::RecentFileList(const QString& application) : m_application(application)
{
    const QSettings settings(kOrganisation, m_application);
    for (int i = 0; i < kSize; ++i) {
        const QVariant value = settings.value(KeyOf(i));
        const std::string path = value.typeId() == QMetaType::QByteArray ? value.toByteArray().toStdString()
                                                                          : FileNameBytes(value.toString());
        if (!path.empty() && std::find(m_files.begin(), m_files.end(), path) == m_files.end())
            m_files.push_back(path);
    }
}

void RecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    m_files.erase(std::remove(m_files.begin(), m_files.end(), path), m_files.end());
    m_files.insert(m_files.begin(), path);
    if (m_files.size() > static_cast<std::size_t>(kSize))
        m_files.resize(kSize);
    Save();
}

void RecentFileList::Add(const QString& path)
{
    Add(FileNameBytes(path));
}

void RecentFileList::Remove(int index)
{
    if (index < 0 || index >= static_cast<int>(m_files.size()))
        return;
    m_files.erase(m_files.begin() + index);
    Save();
}

QStringList RecentFileList::Files() const
{
    QStringList names;
    for (const std::string& path : m_files)
        names.append(FileNameText(path));
    return names;
}

void RecentFileList::Save() const
{
    QSettings settings(kOrganisation, m_application);
    for (int i = 0; i < kSize; ++i) {
        if (i >= static_cast<int>(m_files.size()))
            settings.remove(KeyOf(i));
        else if (IsTextName(m_files[i]))
            settings.setValue(KeyOf(i), FileNameText(m_files[i]));
        else
            settings.setValue(KeyOf(i), QByteArray::fromStdString(m_files[i]));
    }
}
