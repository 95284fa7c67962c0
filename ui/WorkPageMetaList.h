// The manual order page: the document's objects in processing order (list
// order). Clicking a row selects its object; dragging a row onto another
// moves the object to that place in the order.
// Page 219 of the work panel; its texts come from "phase19:sort-manually".
#pragma once
#include "WorkPageBase.h"

#include <memory>

class CDocData;
class QTableView;
class QWidget;

class CWorkPageMetaList : public WorkPageBase {
public:
    static constexpr int IDD = 219;
    static constexpr int IDC_LIST = 1233;
    // The picture that follows the cursor beside the dragged row.
    static constexpr int kDragBitmap = 220;

    explicit CWorkPageMetaList(QWidget* parent = nullptr);
    ~CWorkPageMetaList() override;

    void SetOwner(DOCCONTEXT* context, plat::ViewWindow* view);
    // Rebuilds the list from the document; nothing without owner or
    // snapshot, an empty list without objects.
    void RefreshList();
    // Empties the list (the last document has closed).
    void ClearList();

    QTableView* List() const { return m_list; }
    bool IsDragging() const { return m_bDragging; }
    // The window that follows the cursor during a drag; null otherwise.
    QWidget* DragWindow() const { return m_dragWindow.get(); }

    // Selects the object of the row alone, the select tool current.
    void SelectRowObject(int row);
    // Moves the first selected object to row `target` of the order: one
    // undo step; nothing when it is there already or the row is not in the
    // list. True when the order changed.
    bool MoveSelectedTo(int target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Model;
    class ColourDelegate;

    void BeginDrag(int row, const QPoint& global);
    void DragMove(const QPoint& global);
    void Drop(const QPoint& global);
    // The row under a point of the list's viewport: strictly inside its
    // top and bottom; -1 for none.
    int RowAt(const QPoint& viewportPos) const;

    QTableView* m_list = nullptr;
    Model* m_model = nullptr;
    ColourDelegate* m_delegate = nullptr;
    bool m_bDragging = false;
    int m_nDragRow = -1;
    bool m_bPressed = false;
    QPoint m_pressPos;
    std::unique_ptr<QWidget> m_dragWindow;
    // Hot spot of the drag picture: the cursor sits this far from its corner.
    QPoint m_hotSpot{0, -4};
};
