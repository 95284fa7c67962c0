#include "RecentFileList.h"

#include <QSettings>

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
        const QString path = settings.value(KeyOf(i)).toString();
        if (!path.isEmpty() && !m_files.contains(path))
            m_files.append(path);
    }
}

void RecentFileList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    m_files.removeAll(path);
    m_files.prepend(path);
    while (m_files.size() > kSize)
        m_files.removeLast();
    Save();
}

void RecentFileList::Remove(int index)
{
    if (index < 0 || index >= m_files.size())
        return;
    m_files.removeAt(index);
    Save();
}

void RecentFileList::Save() const
{
    QSettings settings(kOrganisation, m_application);
    for (int i = 0; i < kSize; ++i) {
        if (i < m_files.size())
            settings.setValue(KeyOf(i), m_files[i]);
        else
            settings.remove(KeyOf(i));
    }
}
