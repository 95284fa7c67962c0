// A tab control that holds up to 16 page dialogs and shows one at a time.
// Pages are found by their dialog template id and stay the caller's: the
// control keeps the page, its id and its title in one table. A created page
// is the control's child window: its owner deletes it before the control,
// or the control's end takes it along.
// A page is created (set up once and given a tab) either as it is added or
// later, with all others, by ShowPage; a removed page is only hidden and
// keeps its values. The current index, the selected tab and the page shown
// are always the same: clicking a tab, ShowPage and RemovePage move all
// three together.
#pragma once
#include <QTabWidget>

#include <array>

class CDialogBase;

class CMyTabCtrl : public QTabWidget {
public:
    static constexpr int kMaxPages = 16;

    explicit CMyTabCtrl(QWidget* parent = nullptr);
    ~CMyTabCtrl() override;
    CMyTabCtrl(const CMyTabCtrl&) = delete;
    CMyTabCtrl& operator=(const CMyTabCtrl&) = delete;

    // Stores the page in the next entry. With `create` the page is set up
    // as a child of the control and gets its tab at the end, selected and
    // shown. False, storing nothing, when 16 pages are held or the page is
    // null.
    bool AddPage(const QString& title, CDialogBase* page, int templateId, bool create);
    // With `create` first sets up every stored page that has no tab yet and
    // gives it its tab, in table order. Then selects and shows the page of
    // the id. An id without a tab changes nothing more.
    void ShowPage(bool create, int templateId);
    // Takes every entry of the id out of the tables, its tab away and its
    // page hidden (later entries move up), then selects tab 0 and shows its
    // page. False, changing nothing, when no entry has the id.
    bool RemovePage(int templateId);

    int PageCount() const { return m_count; }
    // The page of an id (the first entry with it); null when there is none.
    CDialogBase* Page(int templateId) const;
    // The tab showing the page of an id; -1 when it has none.
    int TabOf(int templateId) const;

private:
    struct Entry {
        CDialogBase* page = nullptr;
        // The page as the object whose end is signalled.
        const QObject* object = nullptr;
        int id = 0;
        QString title;
        QMetaObject::Connection watch;
    };

    int EntryOf(int templateId) const;
    // Gives an entry's page its tab, at its place among the pages with tabs.
    void InsertTab(int entry);
    // Takes entry `entry` out, moving the later ones up.
    void Erase(int entry);
    // Drops the entries of a page that is being deleted.
    void Forget(const QObject* page);

    std::array<Entry, kMaxPages> m_entries{};
    int m_count = 0;
};
