#include "MyTabCtrl.h"

#include "qtplatform/DialogBase.h"

CMyTabCtrl::CMyTabCtrl(QWidget* parent) : QTabWidget(parent) {}

CMyTabCtrl::~CMyTabCtrl()
{
    // Pages that go with the control's child windows must not reach back
    // into a table that is already gone.
    for (int entry = 0; entry < m_count; ++entry)
        disconnect(m_entries[static_cast<std::size_t>(entry)].watch);
}

bool CMyTabCtrl::AddPage(const QString& title, CDialogBase* page, int templateId, bool create)
{
    if (page == nullptr || m_count >= kMaxPages)
        return false;
    const int entry = m_count++;
    const QObject* object = page;
    // The pages are the caller's: one deleted by it leaves the table.
    m_entries[static_cast<std::size_t>(entry)] = {
        page, object, templateId, title, connect(page, &QObject::destroyed, this, [this, object] { Forget(object); })};
    if (create) {
        InsertTab(entry);
        setCurrentIndex(indexOf(page));
    }
    return true;
}

void CMyTabCtrl::ShowPage(bool create, int templateId)
{
    if (create) {
        for (int entry = 0; entry < m_count; ++entry)
            InsertTab(entry);
    }
    const int tab = TabOf(templateId);
    if (tab >= 0)
        setCurrentIndex(tab);
}

bool CMyTabCtrl::RemovePage(int templateId)
{
    bool removed = false;
    for (int entry = 0; entry < m_count;) {
        const Entry& e = m_entries[static_cast<std::size_t>(entry)];
        if (e.id != templateId) {
            ++entry;
            continue;
        }
        const int tab = indexOf(e.page);
        if (tab >= 0)
            removeTab(tab);
        e.page->hide();
        Erase(entry);
        removed = true;
    }
    // Removing the tab shown selects a neighbour: tab 0 is wanted.
    if (removed && count() > 0)
        setCurrentIndex(0);
    return removed;
}

CDialogBase* CMyTabCtrl::Page(int templateId) const
{
    const int entry = EntryOf(templateId);
    return entry >= 0 ? m_entries[static_cast<std::size_t>(entry)].page : nullptr;
}

int CMyTabCtrl::TabOf(int templateId) const
{
    CDialogBase* page = Page(templateId);
    return page != nullptr ? indexOf(page) : -1;
}

int CMyTabCtrl::EntryOf(int templateId) const
{
    for (int entry = 0; entry < m_count; ++entry) {
        if (m_entries[static_cast<std::size_t>(entry)].id == templateId)
            return entry;
    }
    return -1;
}

void CMyTabCtrl::InsertTab(int entry)
{
    const Entry& e = m_entries[static_cast<std::size_t>(entry)];
    if (indexOf(e.page) >= 0)
        return;
    e.page->Create(this);
    int position = 0;
    for (int i = 0; i < entry; ++i) {
        if (indexOf(m_entries[static_cast<std::size_t>(i)].page) >= 0)
            ++position;
    }
    insertTab(position, e.page, e.title);
}

void CMyTabCtrl::Erase(int entry)
{
    disconnect(m_entries[static_cast<std::size_t>(entry)].watch);
    for (auto i = static_cast<std::size_t>(entry); i + 1 < static_cast<std::size_t>(m_count); ++i)
        m_entries[i] = m_entries[i + 1];
    --m_count;
    m_entries[static_cast<std::size_t>(m_count)] = Entry{};
}

void CMyTabCtrl::Forget(const QObject* page)
{
    // Qt removes the page's tab itself.
    for (int entry = 0; entry < m_count;) {
        if (m_entries[static_cast<std::size_t>(entry)].object == page)
            Erase(entry);
        else
            ++entry;
    }
}
