// The path tool commands and their option dialogs on a document with the
// select tool and a recording view; dialogs are answered through the dialog
// base's seam, except the run-frame dialog, which runs for real once.
#include "AppTestSupport.h"
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "app/ViewPathCommands.h"
#include "app/tools/DocStateNone.h"
#include "model/DocContext.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/Progress.h"
#include "platform/ViewWindow.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/EnableLinkNearDlg.h"
#include "ui/ParamDashedSet.h"
#include "ui/ParamRunFrame.h"
#include "ui/ParamScaleSlot.h"
#include "ui/RbtnNoneExtendDlg.h"
#include "ui/RbtnNoneUniteDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

using Answer = std::function<int(CDialogBase&)>;

// Clicks a dialog's button of a control id; the answer is the dialog's
// result, as the modal loop would give it.
int Click(CDialogBase& dialog, int id)
{
    dialog.findChild<QPushButton*>(QString::number(id))->click();
    return dialog.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
}

void Type(CDialogBase& dialog, int id, const char* text)
{
    dialog.findChild<QLineEdit*>(QString::number(id))->setText(QString::fromLatin1(text));
}

QString Shown(CDialogBase& dialog, int id)
{
    return dialog.findChild<QLineEdit*>(QString::number(id))->text();
}

void Tick(CDialogBase& dialog, int id, bool on)
{
    auto* box = dialog.findChild<QAbstractButton*>(QString::number(id));
    if (box->isChecked() != on)
        box->click();
}

// A grey image of two pixels in one row: headers, grey palette, the pixels
// and two bytes of row padding.
std::string GreyImage(std::uint8_t a, std::uint8_t b)
{
    std::string f(1078 + 4, '\0');
    auto put = [&f](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            f[at + i] = static_cast<char>(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put(2, static_cast<std::uint32_t>(f.size()), 4);
    put(10, 1078, 4);
    put(14, 40, 4);
    put(18, 2, 4);  // width
    put(22, 1, 4);  // height, bottom-up
    put(26, 1, 2);  // planes
    put(28, 8, 2);  // bits per pixel
    put(34, 4, 4);  // image size
    put(46, 256, 4);
    for (int i = 0; i < 256; ++i)
        put(54 + 4 * i, static_cast<std::uint32_t>(i * 0x010101), 4);
    f[1078] = static_cast<char>(a);
    f[1079] = static_cast<char>(b);
    f[1080] = 0x11;
    f[1081] = 0x22;
    return f;
}

class PathCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_settings.SetOptionDefaults();
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pView = &m_view;
        m_ctx.m_dZoom = 1.0;
        for (CDocState*& tool : m_ctx.m_pTools)
            tool = &m_tool;
        plat::SetProgressSink(&m_progress);
        CParamScaleSlot::Stored() = {};
        CEnableLinkNearDlg::SetRememberedLength(0.3);
        CRbtnNoneExtendDlg::SetAutoSide(true);
        CDialogBase::SetModalAnswerForTesting([this](CDialogBase& dialog) {
            ++m_opened;
            return m_answer ? m_answer(dialog) : plat::IDCANCEL;
        });
    }
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting({});
        plat::SetProgressSink(nullptr);
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }

    CDocData* Add(CDocData* obj, bool selected = true)
    {
        CDocData* last = First();
        while (last != nullptr && last->m_pNext != nullptr)
            last = last->m_pNext;
        obj->m_pPrev = last;
        obj->m_pNext = nullptr;
        (last != nullptr ? last->m_pNext : m_ctx.m_pCurrent->m_pFirst) = obj;
        obj->RecalcBoundRect(nullptr);
        obj->SetSelected(selected ? 1 : 0);
        m_tool.UpdateSelectionRect(&m_ctx);
        return obj;
    }
    CDocData* AddLine(std::initializer_list<std::pair<double, double>> points, bool selected = true)
    {
        DOCNODE* head = nullptr;
        DOCNODE* tail = nullptr;
        for (const auto& [x, y] : points) {
            tail = AppendNode(tail, x, y);
            if (head == nullptr)
                head = tail;
        }
        return Add(new CDocDataLine(head, 1, nullptr), selected);
    }
    CDocData* AddRect(double x0, double y0, double x1, double y1, bool selected = true)
    {
        return Add(new CDocDataRect(CGeoBox(x0, x1, y0, y1), nullptr, 255), selected);
    }
    CDocData* AddImage(const std::string& file, bool selected)
    {
        return Add(new CDocDataBitmap("image", m_program.Root() + file, 0.0, 0.0, 0, nullptr), selected);
    }
    CDocData* First() const { return m_ctx.m_pCurrent->m_pFirst; }
    CDocData* At(int index) const
    {
        CDocData* o = First();
        for (int i = 0; i < index && o != nullptr; ++i)
            o = o->m_pNext;
        return o;
    }
    int Count() const
    {
        int n = 0;
        for (const CDocData* o = First(); o != nullptr; o = o->m_pNext)
            ++n;
        return n;
    }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    std::u16string ErrorText(int k) const { return LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", k); }

    plat::ScratchProgram m_program;
    plat::ScopedRecordingPrompt m_prompt;
    plat::RecordingProgress m_progress;
    plat::RecordingView m_view;
    SoftwareSettings m_settings;
    CDocStateNone m_tool;
    DOCCONTEXT m_ctx;
    Answer m_answer;
    int m_opened = 0;
};

} // namespace

TEST_F(PathCommandsTest, MergeAdjacentWantsTwoSelectedThenJoinsEveryOpenCurveAndStoresItsOptions)
{
    AddLine({{0, 0}, {100, 0}});
    AddLine({{100, 0}, {200, 0}}, false);
    ViewPathCommands::MergeAdjacent(m_ctx, nullptr);
    EXPECT_EQ(m_opened, 0);
    ASSERT_EQ(m_prompt.m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_prompt.m_shown[0].text, ErrorText(ViewPathCommands::kSelectTwoText));
    EXPECT_EQ(Steps(), 0);

    AddLine({{300, 0}, {200, 0}}); // reversed, and unselected pieces join too
    m_answer = [](CDialogBase& d) {
        EXPECT_EQ(Shown(d, CRbtnNoneUniteDlg::IDC_DISTANCE), QStringLiteral("0.1"));
        Type(d, CRbtnNoneUniteDlg::IDC_DISTANCE, "");
        EXPECT_EQ(Click(d, CRbtnNoneUniteDlg::IDC_OK), plat::IDCANCEL) << "an empty distance keeps it open";
        Type(d, CRbtnNoneUniteDlg::IDC_DISTANCE, "0.25");
        Tick(d, CRbtnNoneUniteDlg::IDC_DELETE_CROSSINGS, true);
        return Click(d, CRbtnNoneUniteDlg::IDC_OK);
    };
    ViewPathCommands::MergeAdjacent(m_ctx, nullptr);
    EXPECT_EQ(Steps(), 1);
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(LastNode(First()->m_pNodes)->m_x, 300.0);

    SoftwareSettings stored;
    ASSERT_TRUE(CReadParamFile().ReadSoftwareParam(stored));
    EXPECT_EQ(stored.comebin_dis, 0.25);
    EXPECT_EQ(stored.use_comebin, 1);
    std::string file;
    ASSERT_TRUE(plat::ReadWholeFile(CReadParamFile().GetParamPath() + "software.par", file));
    EXPECT_NE(file.find("comebin_dis\r\n0.250000\r\nuse_comebin\r\n1\r\n"), std::string::npos);
}

TEST_F(PathCommandsTest, DashedLinesOfferOneAndOneMillimetreAndCutTenUnitPieces)
{
    AddLine({{0, 0}, {50, 0}});
    m_answer = [](CDialogBase& d) {
        EXPECT_EQ(Shown(d, CParamDashedSet::IDC_SOLID), QStringLiteral("1"));
        EXPECT_EQ(Shown(d, CParamDashedSet::IDC_GAP), QStringLiteral("1"));
        return Click(d, 1073);
    };
    ViewPathCommands::DashedLines(m_ctx, nullptr);
    EXPECT_EQ(Steps(), 1);
    ASSERT_EQ(Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(At(i)->m_pNodes->m_x, 20.0 * i);
        EXPECT_DOUBLE_EQ(LastNode(At(i)->m_pNodes)->m_x, 20.0 * i + 10.0);
    }
}

TEST_F(PathCommandsTest, OffsetModesOutwardAndAutomaticPassTheSameFlag)
{
    AddRect(0, 0, 100, 100);
    std::vector<CGeoBox> boxes;
    for (int radio : {CParamScaleSlot::IDC_INWARD, CParamScaleSlot::IDC_OUTWARD, CParamScaleSlot::IDC_AUTOMATIC}) {
        m_answer = [radio](CDialogBase& d) {
            Type(d, CParamScaleSlot::IDC_DISTANCE, "2");
            Tick(d, radio, true);
            return Click(d, CParamScaleSlot::IDC_OK);
        };
        ViewPathCommands::ContourOffset(m_ctx, nullptr);
        EXPECT_EQ(Steps(), 1);
        ASSERT_EQ(Count(), 2);
        boxes.push_back(At(1)->GetBoundRect());
        ASSERT_TRUE(CDocState::Undo(&m_ctx));
        ASSERT_EQ(Count(), 1);
    }
    EXPECT_NEAR(boxes[0].m_xmin, 20.0, 1e-9);
    EXPECT_NEAR(boxes[1].m_xmin, -20.0, 1e-9);
    EXPECT_EQ(boxes[2].m_xmin, boxes[1].m_xmin);
    EXPECT_EQ(boxes[2].m_ymax, boxes[1].m_ymax);
}

TEST_F(PathCommandsTest, EachEditTakesOneStepAndCancelTakesNone)
{
    AddLine({{0, 0}, {10, 0}, {10, 10}});
    AddRect(20, 0, 40, 20);
    ViewPathCommands::Reverse(m_ctx);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(First()->m_pNodes->m_y, 10.0);

    for (auto run : {&ViewPathCommands::MicroJoints, &ViewPathCommands::ContourOffset, &ViewPathCommands::LeadLines,
                     &ViewPathCommands::DeleteOverlaps, &ViewPathCommands::DashedLines,
                     &ViewPathCommands::MergeAdjacent}) {
        m_answer = {};
        run(m_ctx, nullptr);
        EXPECT_EQ(Steps(), 1) << "cancelled";
    }
    EXPECT_EQ(First()->m_pEndGap, nullptr);
    EXPECT_EQ(First()->m_pLeadInOut, nullptr);

    m_answer = [](CDialogBase& d) {
        Tick(d, CEnableLinkNearDlg::IDC_ENABLE, true);
        Type(d, CEnableLinkNearDlg::IDC_LENGTH, "0.7");
        return Click(d, CEnableLinkNearDlg::IDC_OK);
    };
    ViewPathCommands::MicroJoints(m_ctx, nullptr);
    EXPECT_EQ(Steps(), 2);
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(At(i)->m_pEndGap, nullptr);
        EXPECT_EQ(At(i)->m_pEndGap->m_bOn, 1);
        EXPECT_EQ(At(i)->m_pEndGap->m_dGap, 0.7);
    }
    m_answer = [](CDialogBase& d) { return Click(d, CRbtnNoneExtendDlg::IDC_APPLY); };
    ViewPathCommands::LeadLines(m_ctx, nullptr);
    EXPECT_EQ(Steps(), 3);

    // The joint length typed once is offered again, with nothing selected
    // that has a joint of its own.
    First()->SetSelected(0);
    At(1)->SetSelected(0);
    m_answer = [](CDialogBase& d) {
        EXPECT_EQ(Shown(d, CEnableLinkNearDlg::IDC_LENGTH), QStringLiteral("0.7"));
        EXPECT_FALSE(d.findChild<QLineEdit*>(QStringLiteral("1111"))->isEnabled());
        return plat::IDCANCEL;
    };
    ViewPathCommands::MicroJoints(m_ctx, nullptr);
    EXPECT_EQ(Steps(), 3);
}

TEST_F(PathCommandsTest, LeadsWrapAnglesSkipPointsAndImagesAndShowTheFirstSelectedLeads)
{
    plat::WriteWholeFile(m_program.Root() + "a.bmp", GreyImage(0, 200));
    CDocData* point = Add(new CDocDataPoint(5.0, 5.0, nullptr));
    CDocData* image = AddImage("a.bmp", true);
    CDocData* rect = AddRect(0, 0, 100, 100);
    m_settings.m_assist_mode = 0;
    m_answer = [](CDialogBase& d) {
        Tick(d, CRbtnNoneExtendDlg::IDC_LEAD_IN, true);
        Tick(d, CRbtnNoneExtendDlg::IDC_LEAD_OUT, true);
        Type(d, CRbtnNoneExtendDlg::IDC_IN_ANGLE, "200");
        Type(d, CRbtnNoneExtendDlg::IDC_OUT_ANGLE, "-200");
        Type(d, CRbtnNoneExtendDlg::IDC_IN_LENGTH, "3");
        Tick(d, CRbtnNoneExtendDlg::IDC_AUTO_SIDE, false);
        return Click(d, CRbtnNoneExtendDlg::IDC_APPLY);
    };
    ViewPathCommands::LeadLines(m_ctx, nullptr);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(point->m_pLeadInOut, nullptr);
    EXPECT_EQ(image->m_pLeadInOut, nullptr);
    ASSERT_NE(rect->m_pLeadInOut, nullptr);
    EXPECT_EQ(rect->m_pLeadInOut->m_dInAngle, 19.0);
    EXPECT_EQ(rect->m_pLeadInOut->m_dOutAngle, -19.0);
    EXPECT_EQ(rect->m_pLeadInOut->m_dInLength, 30.0);
    EXPECT_EQ(rect->m_pLeadInOut->m_nKind, 0) << "the assist mode decides the side";
    EXPECT_FALSE(m_view.m_invalidated.empty());

    // A second rectangle with other leads comes later in the list: the
    // first selected object with leads fills the dialog, and the automatic
    // side stays off.
    CDocData* later = AddRect(200, 0, 300, 100);
    later->m_pLeadInOut = new LEADINOUT;
    later->m_pLeadInOut->m_dInAngle = 80.0;
    m_answer = [](CDialogBase& d) {
        EXPECT_EQ(Shown(d, CRbtnNoneExtendDlg::IDC_IN_ANGLE), QStringLiteral("19"));
        EXPECT_EQ(Shown(d, CRbtnNoneExtendDlg::IDC_OUT_ANGLE), QStringLiteral("-19"));
        EXPECT_EQ(Shown(d, CRbtnNoneExtendDlg::IDC_IN_LENGTH), QStringLiteral("3"));
        EXPECT_FALSE(d.findChild<QCheckBox*>(QStringLiteral("1258"))->isChecked());
        return plat::IDCANCEL;
    };
    ViewPathCommands::LeadLines(m_ctx, nullptr);
    EXPECT_EQ(m_opened, 2);
    EXPECT_EQ(Steps(), 1);
}

TEST_F(PathCommandsTest, InvertTouchesOnlySelectedImagesAndEachFileOnce)
{
    const std::string original = GreyImage(0, 200);
    for (const char* f : {"a.bmp", "b.bmp"})
        plat::WriteWholeFile(m_program.Root() + f, original);
    AddLine({{0, 0}, {10, 0}});
    AddImage("a.bmp", false);
    AddImage("b.bmp", false);
    ViewPathCommands::InvertBitmaps(m_ctx);
    std::string bytes;
    for (const char* f : {"a.bmp", "b.bmp"}) {
        ASSERT_TRUE(plat::ReadWholeFile(m_program.Root() + f, bytes));
        EXPECT_EQ(bytes, original) << f;
    }

    First()->SetSelected(0);
    At(1)->SetSelected(1);
    AddImage("a.bmp", true);
    ViewPathCommands::InvertBitmaps(m_ctx);
    ASSERT_TRUE(plat::ReadWholeFile(m_program.Root() + "a.bmp", bytes));
    EXPECT_EQ(bytes, GreyImage(255, 55)) << "inverted once, padding kept";
    ASSERT_TRUE(plat::ReadWholeFile(m_program.Root() + "b.bmp", bytes));
    EXPECT_EQ(bytes, original);
    EXPECT_EQ(Steps(), 0);
}

TEST_F(PathCommandsTest, OffsetDialogKeepsOnlyWhatOkConfirmed)
{
    m_answer = [](CDialogBase& d) {
        EXPECT_EQ(Shown(d, CParamScaleSlot::IDC_DISTANCE), QStringLiteral("0"));
        EXPECT_TRUE(d.findChild<QRadioButton*>(QStringLiteral("1243"))->isChecked());
        Type(d, CParamScaleSlot::IDC_DISTANCE, "1.5");
        Tick(d, CParamScaleSlot::IDC_DELETE_SOURCE, true);
        Tick(d, CParamScaleSlot::IDC_AUTOMATIC, true);
        return Click(d, CParamScaleSlot::IDC_OK);
    };
    CParamScaleSlot(nullptr).DoModal();
    m_answer = [](CDialogBase& d) {
        Type(d, CParamScaleSlot::IDC_DISTANCE, "9");
        Tick(d, CParamScaleSlot::IDC_INWARD, true);
        return Click(d, CParamScaleSlot::IDC_CANCEL);
    };
    CParamScaleSlot(nullptr).DoModal();
    CParamScaleSlot again(nullptr);
    m_answer = [](CDialogBase& d) {
        EXPECT_EQ(Shown(d, CParamScaleSlot::IDC_DISTANCE), QStringLiteral("1.5"));
        EXPECT_TRUE(d.findChild<QCheckBox*>(QStringLiteral("1241"))->isChecked());
        EXPECT_TRUE(d.findChild<QRadioButton*>(QStringLiteral("1244"))->isChecked());
        EXPECT_FALSE(d.findChild<QRadioButton*>(QStringLiteral("1242"))->isChecked());
        return plat::IDCANCEL;
    };
    again.DoModal();
    EXPECT_EQ(again.m_nMode, 2);
}

// The one dialog run through its real modal loop: the machine control
// page's run-frame question.
TEST_F(PathCommandsTest, RunFrameWithTheLaserOffShowsThePowerEditsDisabled)
{
    CDialogBase::SetModalAnswerForTesting({});
    CWorkPageWork::RunFrameSettings values;
    values.speed = 150.0;
    std::vector<bool> enabled;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<CParamRunFrame*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (int id = CParamRunFrame::IDC_SPEED; id <= CParamRunFrame::IDC_MAX_POWER2; ++id)
            enabled.push_back(dialog->Edit(id)->isEnabled());
        dialog->Edit(CParamRunFrame::IDC_MARGIN)->setText(QStringLiteral("2.5"));
        dialog->LaserCheck()->click();
        enabled.push_back(dialog->Edit(CParamRunFrame::IDC_MIN_POWER1)->isEnabled());
        dialog->findChild<QPushButton*>(QStringLiteral("1073"))->click();
    });
    ASSERT_TRUE(CParamRunFrame::Ask(values));
    EXPECT_EQ(enabled, (std::vector<bool>{true, false, false, false, false, true}));
    EXPECT_EQ(values.laser, 1u);
    EXPECT_EQ(values.speed, 150.0);
    EXPECT_EQ(values.margin, 2.5);
}

// The path-tool bar and the Tools menu inside a shown main frame.
class PathToolBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_settings.SetPaletteAndInterfaceDefaults();
        g_settings.SetOptionDefaults();
        ASSERT_NO_FATAL_FAILURE(plat::ShowFrameWithOneDocument(m_frame, m_manager, m_recent, m_view));
    }
    void TearDown() override
    {
        m_manager.reset();
        m_frame.reset();
    }
    DOCCONTEXT& Ctx() { return m_view->Context(); }
    bool Run(plat::UINT id) { return m_frame->Router().Execute(id); }
    int Steps()
    {
        int n = 0;
        for (CDocListNode* s = Ctx().m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }

    plat::ScratchProgram m_program;
    plat::ScopedRecordingPrompt m_prompt;
    std::unique_ptr<CMainFrame> m_frame;
    RecentFileList m_recent{QStringLiteral("BrenvikPathToolBarTest")};
    std::unique_ptr<OrvelDocManager> m_manager;
    COrvelView* m_view = nullptr;
};

TEST_F(PathToolBarTest, MenuItemsRunTheButtonsHandlersAndTheSelectorSetsTheLeadSide)
{
    DOCNODE* nodes = AppendNode(nullptr, 500000.0, 500000.0);
    AppendNode(AppendNode(nodes, 500100.0, 500000.0), 500100.0, 500100.0);
    auto* line = new CDocDataLine(nodes, 1, nullptr);
    line->RecalcBoundRect(nullptr);
    line->SetSelected(1);
    Ctx().m_pCurrent->m_pFirst = line;
    Ctx().m_rcSelect = line->m_rcBound;

    // Reverse by button, then by menu: back where it started, a step each.
    ASSERT_TRUE(Run(ViewPathCommands::kReverse));
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_pNodes->m_y, 500100.0);
    ASSERT_TRUE(Run(ViewPathCommands::kReverseMenu));
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_pNodes->m_y, 500000.0);
    EXPECT_EQ(Steps(), 2);
    // Merging adjacent curves with one selected: the same message both ways.
    auto& shown = m_prompt.m_prompt.m_shown;
    shown.clear();
    ASSERT_TRUE(Run(ViewPathCommands::kMergeAdjacent));
    ASSERT_TRUE(Run(ViewPathCommands::kMergeAdjacentMenu));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, shown[1].text);
    EXPECT_EQ(shown[0].text, u"Please select at least two objects.");

    // The selector: without leads no step; with leads one, and the kind
    // follows the item chosen.
    QComboBox* combo = m_frame->AssistCombo();
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(g_settings.m_assist_mode, 0);
    EXPECT_EQ(Steps(), 2);
    CDocData* live = Ctx().m_pCurrent->m_pFirst;
    live->m_pLeadInOut = new LEADINOUT;
    live->m_pLeadInOut->m_nKind = 2;
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(g_settings.m_assist_mode, 1);
    EXPECT_EQ(Steps(), 3);
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->m_pLeadInOut->m_nKind, 1);
    EXPECT_EQ(QApplication::focusWidget(), m_view);
}
