// The layer list of the machine control page: rows from the drawing's layer
// order and the layer records, the click that selects a layer, moving a
// layer by button, key and drag with its one undo step, and the layer
// parameter dialogs with their .prp files.
#include "MachineStage.h"
#include "model/DocDataBitmap.h"
#include "model/DocState.h"
#include "settings/LayerParamFile.h"
#include "settings/WorkSetParameterBase.h"
#include "qtplatform/NumberEdit.h"
#include "ui/WorkSetParamCut.h"
#include "ui/WorkSetParameter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTableWidget>

namespace {

class LayerListTest : public plat::MachineStage {
protected:
    void SetUp() override
    {
        MachineStage::SetUp();
        m_live = new CDocListNode;
        m_context.m_pCurrent = m_live;
    }
    void TearDown() override
    {
        CDocListNode* oldest = m_context.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        m_context.m_pCurrent = &m_doc;
        DeleteClipboard();
        CDialogBase::SetModalAnswerForTesting({});
        CWorkSetParameter::SetFileChooser({});
        g_settings.speed_units = 0;
        MachineStage::TearDown();
    }
    static void DeleteClipboard()
    {
        while (CDocData* o = g_settings.m_pClipboard) {
            g_settings.m_pClipboard = o->m_pNext;
            delete o;
        }
    }
    // Appends a 10 x 10 rectangle at x on a layer.
    CDocData* Add(int layer, double x = 0.0)
    {
        auto* o = new CDocDataRect(CGeoBox(x, x + 10.0, 0.0, 10.0), &m_context, 0);
        o->m_nLayer = layer;
        Append(o);
        return o;
    }
    void Append(CDocData* o)
    {
        CDocData** at = &m_context.m_pCurrent->m_pFirst;
        CDocData* prev = nullptr;
        while (*at != nullptr) {
            prev = *at;
            at = &(*at)->m_pNext;
        }
        o->m_pPrev = prev;
        *at = o;
    }
    std::vector<int> Layers() const
    {
        std::vector<int> layers;
        for (const CDocData* o = m_context.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            layers.push_back(o->m_nLayer);
        return layers;
    }
    QStringList Column(int column) const
    {
        QStringList texts;
        const QTableWidget* list = m_page->LayerList();
        for (int row = 0; row < list->rowCount(); ++row)
            texts << list->item(row, column)->text();
        return texts;
    }
    // Shows the page bound to the document, rows built, row `row` clicked.
    CWorkPageWork& Clicked(int row)
    {
        CWorkPageWork& page = ShownPage();
        page.RefreshLayerList();
        page.LayerList()->selectRow(row);
        page.OnLayerClick();
        return page;
    }

    CDocListNode* m_live = nullptr;
};

} // namespace

TEST_F(LayerListTest, RowsFollowFirstOccurrenceAndAMissingRecordNeitherRepairsNorOverruns)
{
    for (int layer : {5, 2, 5, 7, 300, -4, 300})
        Add(layer);
    // Layer 7 has no record.
    WorkParams* seven = FindLayerParams(g_settings.m_pLayers, 7);
    seven->m_pPrev->m_pNext = seven->m_pNext;
    seven->m_pNext->m_pPrev = seven->m_pPrev;
    delete seven;
    const std::uint64_t changes = m_context.m_nChangeCount;
    CWorkPageWork& page = ShownPage();
    page.RefreshLayerList();
    EXPECT_EQ(Column(0), (QStringList{"5", "2", "7", "300", "-4"}));
    EXPECT_EQ(Column(3), (QStringList{"Cut", "Cut", "No Output", "No Output", "No Output"}));
    EXPECT_EQ(Column(1)[2], QString());
    EXPECT_EQ(Layers(), (std::vector<int>{5, 2, 5, 7, 300, -4, 300}));
    EXPECT_EQ(m_context.m_nChangeCount, changes);
    EXPECT_EQ(m_context.m_pCurrent->m_pOlder, nullptr);

    // Without any record every layer shows no output, and nothing changes.
    WorkParams* kept = g_settings.m_pLayers;
    g_settings.m_pLayers = nullptr;
    page.RefreshLayerList();
    g_settings.m_pLayers = kept;
    EXPECT_EQ(Column(3), (QStringList(5, QStringLiteral("No Output"))));
    EXPECT_EQ(Layers(), (std::vector<int>{5, 2, 5, 7, 300, -4, 300}));

    // Without a document the list is empty.
    page.FillDeviceList(nullptr, nullptr);
    page.RefreshLayerList();
    EXPECT_EQ(page.LayerList()->rowCount(), 0);
}

TEST_F(LayerListTest, PowerSpeedAndModeColumnsJoinCuttingAndScanningInTheSpeedUnit)
{
    Add(3);
    Add(4);
    WorkParams* rec = FindLayerParams(g_settings.m_pLayers, 3);
    rec->m_border = 1;
    rec->m_sweep = 1;
    rec->m_b_max_light1 = 30.0;
    rec->m_b_max_light2 = 40.0;
    rec->m_s_light_def = 1;
    WorkParams* scanOnly = FindLayerParams(g_settings.m_pLayers, 4);
    scanOnly->m_border = 0;
    scanOnly->m_sweep = 1;
    scanOnly->m_s_max_light1 = 12.25;
    scanOnly->m_s_max_light2 = 50.0;
    CWorkPageWork& page = ShownPage();
    page.RefreshLayerList();
    EXPECT_EQ(Column(1), (QStringList{"30.0,40.0+Default", "12.2,50.0"}));
    EXPECT_EQ(Column(2), (QStringList{"100.0+300.0", "300.0"}));
    EXPECT_EQ(Column(3), (QStringList{"Cut+Scan", "Scan"}));

    g_settings.speed_units = 1;
    page.RefreshLayerList();
    EXPECT_EQ(Column(2), (QStringList{"6.00+18.00", "18.00"}));
}

TEST_F(LayerListTest, ClickSelectsExactlyTheRowsLayerUnderTheSelectTool)
{
    CDocData* a = Add(5, 0.0);
    CDocData* b = Add(2, 20.0);
    CDocData* c = Add(5, 40.0);
    a->SetSelected(0);
    b->SetSelected(1);
    int selectTool = 0;
    CWorkPageWork::Dialogs dialogs;
    dialogs.selectTool = [&](plat::ViewWindow*) { ++selectTool; };
    CWorkPageWork::SetDialogs(dialogs);
    m_context.m_nTool = 3;
    Clicked(0);
    EXPECT_EQ(selectTool, 1);
    EXPECT_EQ(m_context.m_nTool, 0);
    EXPECT_EQ(a->IsSelected(), 1);
    EXPECT_EQ(b->IsSelected(), 0);
    EXPECT_EQ(c->IsSelected(), 1);
    EXPECT_FALSE(m_context.m_rcSelect.IsDifferent(CGeoBox(0.0, 50.0, 0.0, 10.0)));

    // Without a selected row a click does nothing.
    m_page->LayerList()->clearSelection();
    m_page->OnLayerClick();
    EXPECT_EQ(selectTool, 1);
}

TEST_F(LayerListTest, MovingALayerIsOneUndoStepAndKeepsTheClipboard)
{
    for (int layer : {1, 2, 2, 3, 1})
        Add(layer);
    CDocData* held = new CDocDataRect(CGeoBox(0, 1, 0, 1), &m_context, 0);
    g_settings.m_pClipboard = held;
    CWorkPageWork& page = Clicked(1);
    const std::uint64_t changes = m_context.m_nChangeCount;
    page.OnMoveLayerUp();
    EXPECT_EQ(Layers(), (std::vector<int>{2, 2, 1, 3, 1}));
    EXPECT_EQ(Column(0), (QStringList{"2", "1", "3"}));
    EXPECT_EQ(page.LayerList()->currentRow(), 0);
    EXPECT_EQ(g_settings.m_pClipboard, held);
    EXPECT_EQ(m_context.m_nChangeCount, changes + 1);
    ASSERT_TRUE(CDocState::Undo(&m_context));
    EXPECT_EQ(Layers(), (std::vector<int>{1, 2, 2, 3, 1}));
    EXPECT_FALSE(CDocState::Undo(&m_context)) << "one step only";
    CDocState::Redo(&m_context);

    // Up on the first row and Down on the last do nothing.
    page.RefreshLayerList();
    page.LayerList()->selectRow(0);
    page.OnLayerClick();
    page.OnMoveLayerUp();
    page.LayerList()->selectRow(2);
    page.OnLayerClick();
    page.OnMoveLayerDown();
    EXPECT_EQ(Layers(), (std::vector<int>{2, 2, 1, 3, 1}));

    // Down from the next-to-last row appends; the moved objects keep their
    // order.
    page.LayerList()->selectRow(1);
    page.OnLayerClick();
    page.OnMoveLayerDown();
    EXPECT_EQ(Layers(), (std::vector<int>{2, 2, 3, 1, 1}));
    EXPECT_EQ(Column(0), (QStringList{"2", "3", "1"}));
    EXPECT_EQ(g_settings.m_pClipboard, held);
}

TEST_F(LayerListTest, UpKeyInTheStepEditMovesTheLayerButNotWithAlt)
{
    for (int layer : {1, 2, 3})
        Add(layer);
    CWorkPageWork& page = Clicked(2);
    auto* step = page.findChild<QLineEdit*>(QString::number(CWorkPageWork::IDC_STEP));
    page.findChild<QCheckBox*>(QString::number(CWorkPageWork::IDC_PRECISE))->click();
    ASSERT_TRUE(step->isEnabled());
    QTest::keyClick(step, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Layers(), (std::vector<int>{1, 2, 3}));
    QTest::keyClick(step, Qt::Key_Up);
    EXPECT_EQ(Layers(), (std::vector<int>{1, 3, 2}));
    QTest::keyClick(page.LayerList(), Qt::Key_Down);
    EXPECT_EQ(Layers(), (std::vector<int>{1, 2, 3}));
}

TEST_F(LayerListTest, DraggingARowOntoAnotherMovesItAndOntoItselfOrOutsideNot)
{
    for (int layer : {1, 2, 3})
        Add(layer);
    CWorkPageWork& page = Clicked(0);
    QTableWidget* list = page.LayerList();
    auto rowCentre = [&](int row) {
        return list->viewport()->mapToGlobal(list->visualRect(list->model()->index(row, 1)).center());
    };
    page.OnBeginDrag(2);
    ASSERT_TRUE(page.IsDragging());
    page.OnDragDrop(rowCentre(2));
    EXPECT_FALSE(page.IsDragging());
    page.OnBeginDrag(2);
    page.OnDragDrop(list->mapToGlobal(QPoint(-50, -50)));
    EXPECT_EQ(Layers(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(m_context.m_pCurrent->m_pOlder, nullptr);

    page.OnBeginDrag(2);
    page.OnDragMove(rowCentre(0));
    page.OnDragDrop(rowCentre(0));
    EXPECT_EQ(Layers(), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(list->currentRow(), 0);
}

TEST_F(LayerListTest, DialogEnablingFollowsSwitchesBitmapAndSlope)
{
    auto* bitmap = new CDocDataBitmap;
    bitmap->m_nLayer = 9;
    Append(bitmap);
    WorkParams* rec = FindLayerParams(g_settings.m_pLayers, 9);
    rec->m_border = 0;
    rec->m_sweep = 1;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& dlg = static_cast<CWorkSetParameter&>(d);
        EXPECT_FALSE(dlg.Control(CWorkSetParameter::IDC_CUT)->isEnabled()) << "bitmap layer, cutting off";
        EXPECT_FALSE(dlg.Control(CWorkSetParameter::IDC_WORK_LEVEL)->isEnabled());
        EXPECT_FALSE(dlg.Control(CWorkSetParameter::IDC_SCAN_MIN1)->isEnabled()) << "slope 0";
        dlg.Edit(CWorkSetParameter::IDC_INCLINE)->setText(QStringLiteral("0.5"));
        EXPECT_TRUE(dlg.Control(CWorkSetParameter::IDC_SCAN_MIN1)->isEnabled());
        EXPECT_TRUE(dlg.Control(CWorkSetParameter::IDC_SCAN_MIN2)->isEnabled());
        dlg.Check(CWorkSetParameter::IDC_SCAN_DEFAULT)->click();
        EXPECT_FALSE(dlg.Control(CWorkSetParameter::IDC_SCAN_MIN1)->isEnabled());
        EXPECT_FALSE(dlg.Control(CWorkSetParameter::IDC_SCAN_MAX1)->isEnabled());
        dlg.Edit(CWorkSetParameter::IDC_INCLINE)->clear();
        EXPECT_EQ(dlg.Edit(CWorkSetParameter::IDC_INCLINE)->text(), QStringLiteral("0"));
        return int(plat::IDCANCEL);
    });
    EXPECT_EQ(CWorkSetParameter(g_settings.m_pLayers, 9, &m_context).DoModal(), plat::IDCANCEL);

    // A plain layer with both processes on: the order combo is enabled.
    rec = FindLayerParams(g_settings.m_pLayers, 1);
    rec->m_border = 1;
    rec->m_sweep = 1;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& dlg = static_cast<CWorkSetParameter&>(d);
        EXPECT_TRUE(dlg.Control(CWorkSetParameter::IDC_WORK_LEVEL)->isEnabled());
        dlg.Check(CWorkSetParameter::IDC_CUT)->click();
        EXPECT_FALSE(dlg.Control(CWorkSetParameter::IDC_WORK_LEVEL)->isEnabled());
        EXPECT_TRUE(dlg.Control(CWorkSetParameter::IDC_CUT)->isEnabled());
        return int(plat::IDCANCEL);
    });
    CWorkSetParameter(g_settings.m_pLayers, 1, &m_context).DoModal();
}

TEST_F(LayerListTest, DialogSpeedsInMetresPerMinuteAndANonNumberKeepsItOpen)
{
    g_settings.speed_units = 1;
    WorkParams* rec = FindLayerParams(g_settings.m_pLayers, 1);
    CWorkSetParameter dlg(g_settings.m_pLayers, 1, &m_context);
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& p = static_cast<CWorkSetParameter&>(d);
        EXPECT_EQ(p.Edit(CWorkSetParameter::IDC_CUT_SPEED)->text(), QStringLiteral("6"));
        p.Edit(CWorkSetParameter::IDC_CUT_SPEED)->setText(QStringLiteral("12"));
        p.Edit(CWorkSetParameter::IDC_PRECISION)->setText(QStringLiteral("x"));
        static_cast<QDialog&>(p).accept();
        EXPECT_TRUE(p.isVisible() || p.result() != QDialog::Accepted) << "refused: stays open";
        p.Edit(CWorkSetParameter::IDC_PRECISION)->setText(QStringLiteral("0.1"));
        static_cast<QDialog&>(p).accept();
        return p.result() == QDialog::Accepted ? int(plat::IDOK) : int(plat::IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), plat::IDOK);
    EXPECT_DOUBLE_EQ(rec->m_b_speed, 200.0);
    EXPECT_DOUBLE_EQ(rec->m_s_precision, 0.1);
    EXPECT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown.front().text, u"Please enter a number.");
}

TEST_F(LayerListTest, CutDelaysTruncateAndOutOfRangeIsRefusedWhileCancelKeepsSubDialogValues)
{
    std::uint16_t ms = 0;
    EXPECT_TRUE(CWorkSetParamCut::DelayMilliseconds(1.005, ms));
    EXPECT_EQ(ms, 1004);
    EXPECT_TRUE(CWorkSetParamCut::DelayMilliseconds(65.535, ms));
    EXPECT_EQ(ms, 65535);
    ms = 7;
    EXPECT_FALSE(CWorkSetParamCut::DelayMilliseconds(65.536, ms));
    EXPECT_FALSE(CWorkSetParamCut::DelayMilliseconds(-1.0, ms));
    EXPECT_FALSE(CWorkSetParamCut::DelayMilliseconds(1e300, ms));
    EXPECT_EQ(ms, 7);

    WorkParams* rec = FindLayerParams(g_settings.m_pLayers, 1);
    int step = 0;
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& d) {
        if (d.TemplateId() == CWorkSetParamCut::IDD) {
            auto& cut = static_cast<CWorkSetParamCut&>(d);
            cut.Edit(CWorkSetParamCut::IDC_ST_DELAY)->setText(QStringLiteral("-1"));
            static_cast<QDialog&>(cut).accept();
            EXPECT_NE(cut.result(), QDialog::Accepted);
            cut.Edit(CWorkSetParamCut::IDC_ST_DELAY)->setText(QStringLiteral("1.005"));
            cut.Check(CWorkSetParamCut::IDC_AUTO_CUIQI)->setChecked(true);
            static_cast<QDialog&>(cut).accept();
            return cut.result() == QDialog::Accepted ? int(plat::IDOK) : int(plat::IDCANCEL);
        }
        auto& p = static_cast<CWorkSetParameter&>(d);
        ++step;
        p.OnCutMore();
        return int(plat::IDCANCEL);
    });
    CWorkSetParameter(g_settings.m_pLayers, 1, &m_context).DoModal();
    EXPECT_EQ(step, 1);
    EXPECT_EQ(rec->m_b_st_delay, 1004);
    EXPECT_EQ(rec->m_b_auto_cuiqi, 1);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown.front().text, u"Delays range from 0 to 65.535 s.");
}

TEST_F(LayerListTest, SaveAppendsPrpAsksOnceOverAnExistingFileAndLoadReplacesOnlyAtOk)
{
    const std::string name = m_program->Root() + "layer";
    CWorkSetParameter::SetFileChooser([&](bool, const std::string&, std::string& path) {
        path = name;
        return true;
    });
    WorkParams* rec = FindLayerParams(g_settings.m_pLayers, 1);
    rec->m_s_z_rish = 0.25;
    rec->m_s_auto_cuiqi = 1;
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& p = static_cast<CWorkSetParameter&>(d);
        p.Edit(CWorkSetParameter::IDC_CUT_SPEED)->setText(QStringLiteral("250"));
        p.OnSave();
        p.OnSave();
        return int(plat::IDCANCEL);
    });
    CWorkSetParameter(g_settings.m_pLayers, 1, &m_context).DoModal();
    ASSERT_EQ(m_prompt.m_shown.size(), 1u) << "the first save writes, the second asks";
    EXPECT_EQ(m_prompt.m_shown.front().text, QString::fromStdString(name + ".prp").toStdU16String() +
                                                 u" already exists. Replace it?");
    EXPECT_EQ(rec->m_b_speed, 100.0) << "saving leaves the record alone";
    EXPECT_EQ(g_settings.layer_prm_dir, m_program->Root());

    // Loading into another layer: shown at once, stored only at OK, the
    // layer id kept.
    m_program->Write("other.prp", "m_group_num\r\n1\r\nm_b_speed\r\n250\r\nm_s_auto_cuiqi\r\n1\r\n"
                                  "m_s_z_rish\r\n0.25\r\n");
    CWorkSetParameter::SetFileChooser([&](bool, const std::string&, std::string& path) {
        path = m_program->Root() + "other.prp";
        return true;
    });
    WorkParams* six = FindLayerParams(g_settings.m_pLayers, 6);
    CDialogBase::SetModalAnswerForTesting([&](CDialogBase& d) {
        auto& p = static_cast<CWorkSetParameter&>(d);
        p.OnLoad();
        EXPECT_EQ(p.Edit(CWorkSetParameter::IDC_CUT_SPEED)->text(), QStringLiteral("250"));
        EXPECT_EQ(six->m_b_speed, 100.0);
        static_cast<QDialog&>(p).accept();
        return int(plat::IDOK);
    });
    CWorkSetParameter(g_settings.m_pLayers, 6, &m_context).DoModal();
    EXPECT_EQ(six->m_group_num, 6);
    EXPECT_EQ(six->m_b_speed, 250.0);
    EXPECT_EQ(six->m_s_auto_cuiqi, 1);
    EXPECT_DOUBLE_EQ(six->m_s_z_rish, 0.25);
    EXPECT_EQ(FindLayerParams(g_settings.m_pLayers, 6), six);
}
