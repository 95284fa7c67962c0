// A shown main frame, offscreen, with one document window holding ten-node
// polylines fitted in the view: the set-up of the editing benchmarks.
#pragma once
#include "QtBench.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "settings/SoftwareSettings.h"

#include <QCoreApplication>
#include <QWindow>

#include <memory>
#include <random>

namespace plat {

struct EditView {
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<OrvelDocManager> documents;
    COrvelView* view = nullptr;
    CDocData* first = nullptr;
};

// Polylines of ten nodes, random walks of 2 mm steps from random starts in
// the first `width` world units of the table's width.
inline CDocData* MakeBenchPolylines(int count, double width = 9000.0)
{
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> startX(kWorldOrigin, kWorldOrigin + width);
    std::uniform_real_distribution<double> startY(kWorldOrigin, kWorldOrigin + 6000.0);
    std::uniform_real_distribution<double> step(-20.0, 20.0);
    CDocData* head = nullptr;
    CDocData* last = nullptr;
    for (int i = 0; i < count; ++i) {
        double x = startX(rng), y = startY(rng);
        DOCNODE* tail = AppendNode(nullptr, x, y);
        DOCNODE* nodes = tail;
        for (int k = 1; k < 10; ++k) {
            x += step(rng);
            y += step(rng);
            tail = AppendNode(tail, x, y);
        }
        auto* line = new CDocDataLine(nodes, 1, nullptr);
        line->m_nLayer = i % 8;
        line->m_nColor = g_settings.PaletteColor(i % 8);
        line->RecalcBoundRect(nullptr);
        line->m_pPrev = last;
        (last != nullptr ? last->m_pNext : head) = line;
        last = line;
    }
    return head;
}

inline bool MakeEditView(EditView& out, int count = 100000, double width = 9000.0)
{
    UseScratchFolders();
    EnsureQtApplication();
    out.frame = std::make_unique<CMainFrame>();
    if (!out.frame->Create())
        return false;
    out.frame->resize(1800, 1200);
    out.frame->show();
    while (out.frame->windowHandle() == nullptr || !out.frame->windowHandle()->isExposed())
        QCoreApplication::processEvents();
    out.documents = std::make_unique<OrvelDocManager>([&out] { return out.frame.get(); });
    out.documents->NewDocument();
    if (out.documents->Frames().empty())
        return false;
    out.view = out.documents->Frames().front()->View();
    out.first = MakeBenchPolylines(count, width);
    out.view->Context().m_pCurrent->m_pFirst = out.first;
    out.view->ZoomToAll();
    out.view->InvalidateRect(nullptr, false);
    out.view->UpdateWindow();
    return true;
}

} // namespace plat
