#include "WorkPageNest.h"

#include "XPButton.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/Prompt.h"
#include "platform/TickCount.h"
#include "processing/PathProc.h"
#include "settings/ReadParamFile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <limits>
#include <unordered_set>

namespace {

constexpr int kStartText = 6;
constexpr int kStopText = 7;

double EditValue(const QLineEdit* edit)
{
    const double v = edit->text().trimmed().toDouble();
    return std::isfinite(v) ? v : 0.0;
}

// The integer part, held to 0 .. 2^31 - 1; not a number gives 0.
std::uint32_t ClampedCount(double v)
{
    if (!(v > 0.0))
        return 0;
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::uint32_t>(v >= kMax ? kMax : std::trunc(v));
}

QString ShownValue(double v)
{
    return QString::number(v, 'g', 15);
}

QString RatioText(int ratio)
{
    return QString::asprintf("%d%%", ratio);
}

} // namespace

CWorkPageNest::CWorkPageNest(QWidget* parent) : WorkPageBase(IDD, u"phase22:genetic-nest", parent)
{
    auto* grid = new QGridLayout(this);
    auto named = [](QWidget* w, int id) {
        w->setObjectName(QString::number(id));
        return w;
    };
    auto* picture = new QLabel(this);
    named(picture, 1246);
    picture->setPixmap(BitmapResource(225));
    grid->addWidget(picture, 0, 0, 1, 2);
    int row = 1;
    auto editRow = [&](int label, int id) {
        grid->addWidget(named(new QLabel(this), label), row, 0);
        auto* edit = new QLineEdit(this);
        named(edit, id);
        grid->addWidget(edit, row++, 1);
        return edit;
    };
    m_width = editRow(1248, IDC_WIDTH);
    m_height = editRow(1249, IDC_HEIGHT);
    m_time = editRow(1250, IDC_TIME);
    m_target = editRow(1251, IDC_TARGET);
    m_rotate = new QCheckBox(this);
    named(m_rotate, IDC_ROTATE);
    grid->addWidget(m_rotate, row, 0);
    m_step = new QLineEdit(this);
    named(m_step, IDC_STEP);
    grid->addWidget(m_step, row++, 1);
    m_start = new CXPButton(this);
    named(m_start, IDC_START);
    grid->addWidget(m_start, row, 0);
    m_ratio = new QLabel(this);
    named(m_ratio, IDC_RATIO);
    grid->addWidget(m_ratio, row++, 1);
    grid->setRowStretch(row, 1);

    connect(m_start, &QPushButton::clicked, this, [this] { OnStartStop(); });
}

CWorkPageNest::~CWorkPageNest()
{
    EndRun(false);
}

QLineEdit* CWorkPageNest::Edit(int id) const
{
    switch (id) {
    case IDC_WIDTH:
        return m_width;
    case IDC_HEIGHT:
        return m_height;
    case IDC_TIME:
        return m_time;
    case IDC_TARGET:
        return m_target;
    case IDC_STEP:
        return m_step;
    default:
        return nullptr;
    }
}

void CWorkPageNest::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageNest::OnDocumentClosing(DOCCONTEXT* context)
{
    if (context == nullptr)
        return;
    if (m_bRunning != 0 && m_pRunContext == context)
        EndRun(false);
    if (Context() == context)
        StoreOwner(nullptr, nullptr);
}

void CWorkPageNest::OnInitDialog()
{
    for (int k = 1; k <= 4; ++k)
        SetTextFromSection(findChild<QWidget*>(QString::number(1247 + k)), k);
    SetTextFromSection(m_rotate, 5);
    SetTextFromSection(m_start, kStartText);
    m_nLastRatio = 0;
    m_ratio->setText(RatioText(m_nLastRatio));

    NestSettings& s = m_engine.m_settings;
    CReadParamFile().ReadNestParam(s);
    m_width->setText(ShownValue(s.m_sizex / 10.0));
    m_height->setText(ShownValue(s.m_sizey / 10.0));
    // The counts are stored as signed numbers.
    m_time->setText(ShownValue(static_cast<std::int32_t>(s.m_limit_time) / 60.0));
    m_target->setText(QString::number(static_cast<std::int32_t>(s.m_limit_ratio)));
    // A count of positions that gives no whole step shows step 0, no rotation.
    const std::int32_t positions = static_cast<std::int32_t>(s.m_rot_sum);
    const bool turns = positions > 0 && positions <= 360;
    m_rotate->setChecked(turns && s.m_rot_allow != 0);
    m_step->setText(QString::number(turns ? 360 / positions : 0));
}

void CWorkPageNest::OnStartStop()
{
    if (m_bRunning != 0)
        EndRun(true);
    else
        Start();
}

void CWorkPageNest::Start()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || View() == nullptr || ctx->m_pCurrent == nullptr)
        return;
    SetTextFromSection(m_start, kStopText);

    NestSettings& s = m_engine.m_settings;
    s.m_sizex = EditValue(m_width) * 10.0;
    s.m_sizey = EditValue(m_height) * 10.0;
    s.m_step = 10.0;
    const std::int64_t step = m_step->text().trimmed().toLongLong();
    // A step that divides no turn runs without rotation.
    if (step > 0 && step <= 360) {
        s.m_rot_allow = m_rotate->isChecked() ? 1 : 0;
        s.m_rot_sum = static_cast<std::uint32_t>(360 / step);
    } else {
        s.m_rot_allow = 0;
        s.m_rot_sum = 1;
    }
    s.m_limit_time = ClampedCount(EditValue(m_time) * 60.0);
    s.m_limit_ratio = ClampedCount(EditValue(m_target));
    s.m_start_time = plat::GetTickCount();

    m_pRunContext = ctx;
    m_nRunChangeCount = ctx->m_nChangeCount;
    m_runObjects.clear();
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0)
            m_runObjects.push_back(o);
    }
    m_pPoster = QtMessagePoster::Current();
    m_hRun = m_pPoster != nullptr ? m_pPoster->RegisterWindow(this) : 0;
    m_bRunning = 1;
    m_engine.Start(m_hRun, ctx);
    CReadParamFile().WriteNestParam(s);
}

void CWorkPageNest::EndRun(bool apply)
{
    if (m_bRunning == 0)
        return;
    // Once the worker is joined it posts no more; closing the handle then
    // drops what it queued, so no message of this run reaches the page
    // while the result is taken (a message box runs the event loop).
    m_engine.StopWorker();
    if (m_pPoster != nullptr && m_pPoster == QtMessagePoster::Current() && m_hRun != 0)
        m_pPoster->UnregisterWindow(m_hRun);
    m_hRun = 0;
    m_pPoster = nullptr;
    if (apply)
        TakeResult();
    m_engine.Stop();
    m_pRunContext = nullptr;
    m_runObjects.clear();
    m_bRunning = 0;
    SetTextFromSection(m_start, kStartText);
}

void CWorkPageNest::TakeResult()
{
    DOCCONTEXT* ctx = m_pRunContext;
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || m_runObjects.empty())
        return;
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    // The layout stands for the objects the run started from: after any
    // change of that drawing it no longer does.
    bool unchanged = ctx->m_nChangeCount == m_nRunChangeCount;
    std::size_t p = 0;
    if (unchanged) {
        std::unordered_set<const CDocData*> present;
        std::size_t index = 0;
        for (const CDocData* o = head; o != nullptr; o = o->m_pNext, ++index) {
            if (o == m_runObjects.front())
                p = index;
            present.insert(o);
        }
        for (const CDocData* o : m_runObjects)
            unchanged = unchanged && present.count(o) != 0;
    }
    if (!unchanged) {
        plat::MessageBox(SectionText(kChangedText));
        return;
    }
    CDocData* placed = m_engine.ApplyResult(ctx);
    if (placed == nullptr)
        return;

    CDocState::PushHistory(ctx);
    CGeoBox repaint = ctx->m_rcSelect;
    // The nested objects go straight: the internal clipboard keeps what the
    // operator copied.
    for (CDocData* o : m_runObjects) {
        repaint.Union(o->GetBoundRect());
        UnlinkObject(head, o);
        CDocData* single = o;
        DeleteObjectList(single);
    }
    m_runObjects.clear();
    // The placed objects become the whole selection.
    CPathProc::SetObjectsSelected(head, 0);
    CPathProc::GetListBox(placed, ctx->m_rcSelect);
    CPathProc::SetObjectsSelected(placed, 1);
    repaint.Union(ctx->m_rcSelect);

    CDocData* last = placed;
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    if (head == nullptr) {
        head = placed;
    } else {
        CDocData* after = head;
        for (std::size_t k = 0; k + 1 < p && after->m_pNext != nullptr; ++k)
            after = after->m_pNext;
        last->m_pNext = after->m_pNext;
        if (after->m_pNext != nullptr)
            after->m_pNext->m_pPrev = last;
        after->m_pNext = placed;
        placed->m_pPrev = after;
    }
    CDocState::InvalidateSelectionArea(ctx, repaint);
}

void CWorkPageNest::OnPostedMessage(plat::UINT msg, plat::WPARAM, plat::LPARAM lParam)
{
    if (msg == WM_NEST_PROGRESS) {
        m_nLastRatio = static_cast<int>(lParam);
        m_ratio->setText(RatioText(m_nLastRatio));
    } else if (msg == WM_NEST_DONE) {
        EndRun(true);
    }
}
