// The colour bar at the bottom of the main frame: the 256 layer colours of
// the palette in pages of numbered cells, a swatch of the current colour and
// two page buttons. A click on a cell makes its index current and sends it to
// the active document window, which hands it on to its view.
#pragma once
#include <QMdiArea>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>

class CButtonST;

class CColorPaletteBar : public QWidget {
public:
    static constexpr int kBarId = 136;
    static constexpr int kHeight = 45;
    static constexpr int kPrevId = 1000;
    static constexpr int kNextId = 1001;
    static constexpr int kMaxCells = 256;

    explicit CColorPaletteBar(QWidget* parent = nullptr);

    // The document area whose active window receives the chosen index.
    void SetDocumentArea(QMdiArea* area) { m_area = area; }

    // Cells, pages and the next button's place for a new client rectangle.
    void RecalcLayout(const QRect& client);
    void OnNextPage();
    void OnPrevPage();
    // A press at a client point; false when it hit no cell.
    bool ClickAt(const QPoint& point);

    int CurrentIndex() const { return m_curIndex; }
    int PageCount() const { return m_pageCount; }
    int ShownPage() const { return m_shownPage; }
    int CellsPerPage() const { return m_cellsPerPage; }
    int CellsOnLastPage() const { return m_cellsOnLastPage; }
    int ShownSelectedCell() const { return m_shownSelCell; }
    // Cells shown on the current page: the remainder on the partial page.
    int CellsShown() const;
    QRect CellRect(int cell) const { return m_cells[static_cast<std::size_t>(cell)]; }
    CButtonST* PrevButton() const { return m_prev; }
    CButtonST* NextButton() const { return m_next; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void AfterPaging();
    void SendIndex() const;

    QPointer<QMdiArea> m_area;
    CButtonST* m_prev = nullptr;
    CButtonST* m_next = nullptr;
    QRect m_client;
    std::array<QRect, kMaxCells> m_cells{};
    QRect m_swatch{QPoint(7, 7), QPoint(36, 36)};
    int m_curIndex = 0;
    int m_pageCount = 0;
    int m_shownPage = 0;
    int m_selPage = 0;
    int m_cellsPerPage = 15;
    int m_cellsOnLastPage = 0;
    int m_shownSelCell = 1;
    int m_selCell = 1;
};
