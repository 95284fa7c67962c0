#include "WorkDlgBar.h"

#include "MyTabCtrl.h"
#include "WorkPageBarrier.h"
#include "WorkPageExport.h"
#include "WorkPageMetaList.h"
#include "WorkPageNest.h"
#include "WorkPageSet.h"
#include "WorkPageWork.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// The panel's contents: at least the designed size and at least what their
// pages need in the fonts in use; beyond that they follow the panel.
class PanelContents : public QWidget {
public:
    QSize minimumSizeHint() const override
    {
        const QSize designed = DialogUnitsToPixels(font(), CWorkDlgBar::kWidthUnits, CWorkDlgBar::kHeightUnits);
        return QWidget::minimumSizeHint().expandedTo(designed);
    }
    QSize sizeHint() const override { return minimumSizeHint(); }
};

// The panel's scrolling steps: a line is 10 pixels, a page a quarter of the
// contents' height. Qt sets the page step to the viewport's size whenever
// the area changes; this puts the panel's back. The area is never narrower
// than its contents beside the vertical scroll bar; it scrolls only when
// the frame is too short for them.
class PanelScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize minimumSizeHint() const override
    {
        const QSize base = QScrollArea::minimumSizeHint();
        if (widget() == nullptr)
            return base;
        return QSize(widget()->minimumSizeHint().width() + 2 * frameWidth() +
                         verticalScrollBar()->sizeHint().width(),
                     base.height());
    }
    QSize sizeHint() const override
    {
        if (widget() == nullptr)
            return QScrollArea::sizeHint();
        return QSize(minimumSizeHint().width(), widget()->sizeHint().height() + 2 * frameWidth());
    }

    void ApplySteps()
    {
        const int height = widget() != nullptr ? widget()->height() : 0;
        verticalScrollBar()->setSingleStep(CWorkDlgBar::kLineStep);
        verticalScrollBar()->setPageStep(height / 4);
        horizontalScrollBar()->setSingleStep(CWorkDlgBar::kLineStep);
    }

protected:
    bool event(QEvent* event) override
    {
        const bool handled = QScrollArea::event(event);
        if (event->type() == QEvent::LayoutRequest)
            ApplySteps();
        return handled;
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool handled = QScrollArea::eventFilter(watched, event);
        if (watched == widget() && event->type() == QEvent::Resize)
            ApplySteps();
        // Contents that need more room (a page added, another font) widen
        // the panel.
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return handled;
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QScrollArea::resizeEvent(event);
        ApplySteps();
    }
};

QString TitleOf(const WorkPageBase& page)
{
    // A missing section gives the table's first string.
    return QString::fromStdU16String(page.SectionText(0));
}

} // namespace

CWorkDlgBar::CWorkDlgBar(QWidget* parent)
    : QDockWidget(parent),
      m_pageWork(std::make_unique<CWorkPageWork>()),
      m_pageExport(std::make_unique<CWorkPageExport>()),
      m_pageSet(std::make_unique<CWorkPageSet>()),
      m_pageBarrier(std::make_unique<CWorkPageBarrier>()),
      m_pageMetaList(std::make_unique<CWorkPageMetaList>()),
      m_pageNest(std::make_unique<CWorkPageNest>())
{
    setObjectName(QString::number(IDD));
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::RightDockWidgetArea);

    auto* scroll = new PanelScrollArea(this);
    m_scroll = scroll;
    m_contents = new PanelContents;
    m_tab = new CMyTabCtrl(m_contents);
    m_tab->setObjectName(QString::number(IDC_TAB));
    auto* layout = new QVBoxLayout(m_contents);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tab);
    scroll->setWidget(m_contents);
    scroll->setWidgetResizable(true);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->ApplySteps();
    setWidget(scroll);

    // The three fixed pages, created together; the work page shown.
    m_tab->AddPage(TitleOf(*m_pageWork), m_pageWork.get(), kWorkPage, false);
    m_tab->AddPage(TitleOf(*m_pageSet), m_pageSet.get(), kArrayPage, false);
    m_tab->AddPage(TitleOf(*m_pageExport), m_pageExport.get(), kOutputPage, false);
    m_tab->ShowPage(true, kWorkPage);
}

CWorkDlgBar::~CWorkDlgBar() = default;

void CWorkDlgBar::OnPortError()
{
    m_pageWork->OnPortError();
}

void CWorkDlgBar::OnFrameResized()
{
    m_scroll->verticalScrollBar()->setValue(0);
}

int CWorkDlgBar::CurrentTab() const
{
    return m_tab->currentIndex();
}

bool CWorkDlgBar::IsPresent(int pageId) const
{
    return m_tab->TabOf(pageId) >= 0;
}

WorkPageBase* CWorkDlgBar::OptionalPage(int pageId) const
{
    switch (pageId) {
    case kLightGuidePage:
        return m_pageBarrier.get();
    case kOrderPage:
        return m_pageMetaList.get();
    case kNestPage:
        return m_pageNest.get();
    default:
        return nullptr;
    }
}

void CWorkDlgBar::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    const int tab = CurrentTab();
    m_pageWork->FillDeviceList(context, view);
    m_pageExport->SetOwner(context, view);
    m_pageSet->SetOwner(context, view);
    if (IsPresent(kLightGuidePage))
        m_pageBarrier->SetOwner(context, view);
    if (IsPresent(kOrderPage)) {
        m_pageMetaList->SetOwner(context, view);
        m_pageMetaList->RefreshList();
    }
    if (IsPresent(kNestPage))
        m_pageNest->SetOwner(context, view);

    switch (tab) {
    case 0:
        m_pageWork->RefreshLayerList();
        break;
    case 1:
        m_pageSet->UpdateFromSelection();
        break;
    case 2:
        m_pageExport->UpdateFromDocument();
        break;
    default:
        break;
    }
}

void CWorkDlgBar::OnViewClosing(DOCCONTEXT* context)
{
    m_pageNest->OnDocumentClosing(context);
    if (m_pageBarrier->Context() == context)
        m_pageBarrier->SetOwner(nullptr, nullptr);
}

void CWorkDlgBar::ClearOwner()
{
    m_pageWork->FillDeviceList(nullptr, nullptr);
    // Without a document the rebuilt list is empty.
    m_pageWork->RefreshLayerList();
    m_pageExport->SetOwner(nullptr, nullptr);
    m_pageSet->SetOwner(nullptr, nullptr);
    m_pageBarrier->SetOwner(nullptr, nullptr);
    if (IsPresent(kOrderPage))
        m_pageMetaList->ClearList();
    m_pageMetaList->SetOwner(nullptr, nullptr);
    m_pageNest->SetOwner(nullptr, nullptr);
}

void CWorkDlgBar::RefreshSelectionPage()
{
    switch (CurrentTab()) {
    case 1:
        m_pageSet->UpdateFromSelection();
        break;
    case 2:
        m_pageExport->UpdateFromDocument();
        break;
    default:
        break;
    }
}

void CWorkDlgBar::RefreshLayerList()
{
    m_pageWork->RefreshLayerList();
}

void CWorkDlgBar::RefreshOrderList()
{
    if (IsPresent(kOrderPage))
        m_pageMetaList->RefreshList();
}

bool CWorkDlgBar::AddOptionalPage(int pageId, DOCCONTEXT* context, plat::ViewWindow* view)
{
    WorkPageBase* page = OptionalPage(pageId);
    if (page == nullptr)
        return false;
    // The page knows its document before it shows.
    if (pageId == kLightGuidePage)
        m_pageBarrier->SetOwner(context, view);
    else if (pageId == kOrderPage)
        m_pageMetaList->SetOwner(context, view);
    else
        m_pageNest->SetOwner(context, view);

    if (IsPresent(pageId)) {
        m_tab->ShowPage(false, pageId);
    } else if (!m_tab->AddPage(TitleOf(*page), page, pageId, true)) {
        return false;
    }
    if (pageId == kOrderPage)
        m_pageMetaList->RefreshList();
    return true;
}

bool CWorkDlgBar::RemoveOptionalPage(int pageId)
{
    if (OptionalPage(pageId) == nullptr || !IsPresent(pageId))
        return false;
    m_tab->RemovePage(pageId);
    m_tab->ShowPage(false, kWorkPage);
    return true;
}
