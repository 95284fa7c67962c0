// The manual order page: rows, kinds and colours of the objects, clicking a
// row, and dragging a row to move its object in the order as one undo step.
#include "../processing/ProcessingTestSupport.h"
#include "AppTestSupport.h"
#include "model/DocContext.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/WorkPageMetaList.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTableView>
#include <QTest>

#include <array>
#include <memory>

namespace {

class OrderPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pView = &m_view;
        m_ctx.m_nTool = 3;
        m_page = std::make_unique<CWorkPageMetaList>();
        m_page->SetOwner(&m_ctx, &m_view);
    }
    void TearDown() override
    {
        m_page.reset();
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        SetLanguageTable({});
    }
    // A polyline, rectangle, ellipse and group on layers 1 to 4, coloured
    // red, green, blue and yellow.
    std::array<CDocData*, 4> AddFour()
    {
        std::array<CDocData*, 4> o{plat::MakeLine({{0, 0}, {10, 10}}), new CDocDataRect(CGeoBox(0, 10, 0, 10), nullptr, 255),
                                   new CDocDataEllipse(0, 0, 10, 10), new CDocDataGroup()};
        const std::uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF};
        for (int i = 0; i < 4; ++i) {
            o[i]->m_nLayer = i + 1;
            o[i]->m_nColor = colours[i];
            o[i]->SetSelected(0);
            o[i]->RecalcBoundRect(&m_ctx);
        }
        m_ctx.m_pCurrent->m_pFirst = plat::LinkObjects({o[0], o[1], o[2], o[3]});
        m_page->RefreshList();
        m_page->resize(400, 300);
        m_page->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_page.get()));
        return o;
    }
    QString Cell(int row, int column) const
    {
        return m_page->List()->model()->index(row, column).data().toString();
    }
    QPoint RowPoint(int row) const
    {
        return m_page->List()->visualRect(m_page->List()->model()->index(row, 0)).center();
    }
    void Mouse(QEvent::Type type, const QPoint& pos, Qt::MouseButtons buttons)
    {
        QWidget* viewport = m_page->List()->viewport();
        QMouseEvent event(type, pos, viewport->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    void Drag(int from, const QPoint& to)
    {
        QTest::mouseClick(m_page->List()->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(from));
        Mouse(QEvent::MouseButtonPress, RowPoint(from), Qt::LeftButton);
        Mouse(QEvent::MouseMove, RowPoint(from) + QPoint(0, QApplication::startDragDistance() + 2), Qt::LeftButton);
        Mouse(QEvent::MouseMove, to, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    std::unique_ptr<plat::ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    plat::RecordingView m_view;
    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
    std::unique_ptr<CWorkPageMetaList> m_page;
};

TEST_F(OrderPage, RowsNameEachObjectAndPaintItsColourWithoutText)
{
    AddFour();
    ASSERT_EQ(m_page->List()->model()->rowCount(), 4);
    const char* kinds[] = {"Polyline", "Rectangle", "Ellipse", "Group"};
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(Cell(r, 0), QString::number(r + 1));
        EXPECT_EQ(Cell(r, 1), QString::fromLatin1(kinds[r]));
    }
    const QImage grab = m_page->List()->viewport()->grab().toImage();
    const QColor expected[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int r = 0; r < 4; ++r) {
        const QRect cell = m_page->List()->visualRect(m_page->List()->model()->index(r, 2));
        EXPECT_EQ(grab.pixelColor(cell.center()), expected[r]) << "row " << r;
    }

    // An emptied drawing empties the list.
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_page->RefreshList();
    EXPECT_EQ(m_page->List()->model()->rowCount(), 0);
}

TEST_F(OrderPage, ClickingARowSelectsOnlyItsObjectWithTheSelectTool)
{
    auto o = AddFour();
    o[0]->SetSelected(1);
    QTest::mouseClick(m_page->List()->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(2));
    EXPECT_EQ(m_ctx.m_nTool, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(o[i]->IsSelected() != 0, i == 2) << i;
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmin, o[2]->GetBoundRect().m_xmin);
}

TEST_F(OrderPage, DroppingARowMovesItsObjectInOneUndoableStep)
{
    auto o = AddFour();
    const std::uint64_t before = m_ctx.m_nChangeCount;
    Drag(3, RowPoint(0));
    EXPECT_FALSE(m_page->IsDragging());
    EXPECT_EQ(m_page->DragWindow(), nullptr);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst, o[3]);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("Group"));
    EXPECT_EQ(m_ctx.m_nChangeCount, before + 1);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst->m_nType, static_cast<std::uint32_t>(MT_LINE));
}

TEST_F(OrderPage, DropsThatMoveNothingTakeNoStep)
{
    auto o = AddFour();
    const std::uint64_t before = m_ctx.m_nChangeCount;
    Drag(1, RowPoint(1));
    Drag(1, QPoint(RowPoint(3).x(), RowPoint(3).y() + 200)); // below the last row
    Drag(1, QPoint(-50, -50));                                 // off the list
    EXPECT_EQ(m_ctx.m_nChangeCount, before);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst, o[0]);

    // With two rows selected no drag starts.
    m_page->List()->selectionModel()->select(
        m_page->List()->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_page->List()->selectionModel()->select(
        m_page->List()->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Mouse(QEvent::MouseButtonPress, RowPoint(2), Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowPoint(0), Qt::LeftButton);
    EXPECT_FALSE(m_page->IsDragging());
    Mouse(QEvent::MouseButtonRelease, RowPoint(0), Qt::NoButton);
    EXPECT_EQ(m_ctx.m_nChangeCount, before);
}

} // namespace
