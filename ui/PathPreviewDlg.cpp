#include "PathPreviewDlg.h"

#include "JobBuild.h"
#include "TransLoadProcessDlg.h"
#include "XPButton.h"
#include "qtplatform/FrameworkText.h"
#include "model/DocContext.h"
#include "processing/BigFileExc.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "settings/MachineNode.h"
#include "settings/MachineParams.h"
#include "settings/SoftwareSettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>

namespace {

constexpr std::u16string_view kSection = u"phase17:work-preview";
constexpr double kDotCost = 10.0;
// Pitches and feed lengths beyond this many millimetres are taken as it, so
// that the copies' offsets stay finite numbers.
constexpr double kMaxLength = 1e9;
// Nested groups followed at most; deeper brackets are passed through.
constexpr std::size_t kMaxGroupDepth = 64;
// Elements one tick visits at most: segments that cost nothing (zero
// length, empty groups repeated many times) must not keep a tick going.
constexpr long long kMaxVisitsPerTick = 2'000'000;

std::function<double(const WORKHEAD&, const RUNTIMEPARAMS&)> g_runTime;

bool Usable(double scale)
{
    return std::isfinite(scale) && scale > 1e-5;
}

std::u16string Digits(long long value, bool twoDigits)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, twoDigits ? "%02lld" : "%lld", value);
    return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

double SaneLength(double v)
{
    return std::isfinite(v) ? std::clamp(v, -kMaxLength, kMaxLength) : 0.0;
}

// The picture control: copies the memory picture and puts a red cross
// (lines of 10 pixels) on every copy mark.
class PreviewPicture : public QWidget {
public:
    PreviewPicture(const QImage& picture, const std::vector<QPoint>& marks, QWidget* parent)
        : QWidget(parent), m_picture(picture), m_marks(marks)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.drawImage(0, 0, m_picture);
        p.setPen(QPen(Qt::red, 1));
        for (const QPoint& m : m_marks) {
            p.drawLine(m.x() - 5, m.y(), m.x() + 4, m.y());
            p.drawLine(m.x(), m.y() - 5, m.x(), m.y() + 4);
        }
    }

private:
    const QImage& m_picture;
    const std::vector<QPoint>& m_marks;
};

} // namespace

// One array group being repeated: its copy in back-and-forth order, rows
// one after the other, the columns of every other row backwards.
struct CPathPreviewDlg::Group {
    PATHREC* open = nullptr;
    int rows = 1;
    int cols = 1;
    int row = 0;
    int col = 0;
    int colDir = 1;
};

double CPathPreviewDlg::FitScale(double pictureWidth, double pictureHeight, double extentX, double extentY)
{
    const double sx = pictureWidth / extentX;
    const double sy = pictureHeight / extentY;
    if (Usable(sx) && Usable(sy))
        return std::min(sx, sy);
    if (Usable(sx))
        return sx;
    if (Usable(sy))
        return sy;
    return 1.0;
}

RUNTIMEPARAMS CPathPreviewDlg::RunTimeParams(const MachineNode* machine, double scale)
{
    RUNTIMEPARAMS params;
    if (machine != nullptr && machine->m_params != nullptr && machine->m_params->m_valid != 0)
        params.TakeMachine(*machine->m_params);
    params.m_divisor = scale;
    return params;
}

std::u16string CPathPreviewDlg::RunTimeText(double seconds, const std::u16string& hours,
                                            const std::u16string& minutes, const std::u16string& secondsText)
{
    // Beyond about a million years the count is meaningless; keep it in range.
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 1e15) : 0.0;
    const auto total = static_cast<long long>(clamped + 0.5);
    return Digits(total / 3600, false) + u" " + hours + u"\r" + Digits(total / 60 % 60, true) + u" " + minutes +
           u"\r" + Digits(total % 60, true) + u" " + secondsText;
}

void CPathPreviewDlg::SetRunTimeForTesting(std::function<double(const WORKHEAD&, const RUNTIMEPARAMS&)> runTime)
{
    g_runTime = std::move(runTime);
}

CPathPreviewDlg::CPathPreviewDlg(DOCCONTEXT& context, QWidget* parent, QSize pictureSize)
    : CDialogBase(IDD, kSection, parent), m_context(context),
      m_picture(pictureSize.expandedTo(QSize(1, 1)), QImage::Format_RGB32)
{
    setWindowTitle(QStringLiteral("Work Preview"));
    m_picture.fill(Qt::white);

    m_control = new PreviewPicture(m_picture, m_marks, this);
    m_control->setObjectName(QString::number(IDC_PICTURE));
    m_control->setFixedSize(m_picture.size());
    m_runTime = new QLabel(this);
    m_runTime->setObjectName(QString::number(IDC_RUNTIME));
    m_runTime->setAlignment(Qt::AlignCenter);

    auto* side = new QVBoxLayout;
    auto button = [&](int id, const char* text, void (CPathPreviewDlg::*slot)()) {
        auto* b = new CXPButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::number(id));
        connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
        side->addWidget(b);
        return b;
    };
    button(IDC_ESTIMATE, "Run Time", &CPathPreviewDlg::OnEstimate);
    side->addWidget(m_runTime);
    side->addStretch(1);
    button(IDC_FASTER, "Faster", &CPathPreviewDlg::OnFaster);
    button(IDC_SLOWER, "Slower", &CPathPreviewDlg::OnSlower);
    button(IDC_START, "Start", &CPathPreviewDlg::OnStart);
    button(IDC_PAUSE, "Pause", &CPathPreviewDlg::OnPauseContinue)->setEnabled(false);
    button(IDC_END, "End", &CPathPreviewDlg::OnEnd);
    // While the job is built: its progress and a Cancel under the picture.
    m_buildBar = new QProgressBar(this);
    m_buildBar->setRange(0, plat::WorkControl::kWhole);
    m_buildBar->setTextVisible(false);
    m_buildCancel = new CXPButton(FrameworkString(FrameworkText::Cancel), this);
    connect(m_buildCancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* building = new QHBoxLayout;
    building->addWidget(m_buildBar, 1);
    building->addWidget(m_buildCancel);
    auto* picture = new QVBoxLayout;
    picture->addWidget(m_control);
    picture->addLayout(building);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(picture);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_timer = new QTimer(this);
    m_timer->setInterval(kTimerPeriodMs);
    connect(m_timer, &QTimer::timeout, this, [this] { Tick(); });

    m_build = new CJobBuild(this);
    BuildJob();
}

CPathPreviewDlg::~CPathPreviewDlg()
{
    m_timer->stop();
    ClearPosition();
    FreePathRecordGroups(m_header.m_layers);
}

CXPButton* CPathPreviewDlg::Button(int id) const
{
    return findChild<CXPButton*>(QString::number(id));
}

void CPathPreviewDlg::BuildJob()
{
    // The download's header, less what only a transfer needs; the switch
    // lets the pitches stand as the array gave them (0 without one).
    CTransLoadProcessDlg::FillHeader(m_header, m_context, std::string());
    m_header.m_kind = 0;
    m_header.m_operation = 0;
    m_header.m_arrayUse = 1;
    m_header.m_posPoint = 2;
    for (int id : {IDC_START, IDC_ESTIMATE})
        Button(id)->setEnabled(false);
    // The job is fitted into the picture where it was built; the scale
    // found there comes back with it.
    const QSize size = m_picture.size();
    auto scale = std::make_shared<double>(1.0);
    m_build->Start(
        m_context, m_header, "review", false, [size, scale](WORKHEAD& job) { *scale = PrepareJob(job, size); },
        [this, size, scale](bool ok, WORKHEAD& built) {
            FreePathRecordGroups(m_header.m_layers);
            m_header = built;
            built.m_layers = nullptr;
            if (!ok) {
                m_header.m_layers = nullptr;
                *scale = PrepareJob(m_header, size);
            }
            JobBuilt(*scale);
        },
        [this](int permille) { m_buildBar->setValue(permille); });
}

double CPathPreviewDlg::PrepareJob(WORKHEAD& h, QSize picture)
{
    // The job generation has already cut the bands; for the picture they
    // are stacked back one after the other.
    if (h.m_banded != 0 && h.m_layers != nullptr) {
        CBigFileExc::StackBands(h.m_layers, h.m_originCorner);
        CFileTrans::RecalcPathBoundRects(h.m_layers);
        std::swap(h.m_pitchX, h.m_pitchY);
    }
    h.m_pitchX = SaneLength(h.m_pitchX);
    h.m_pitchY = SaneLength(h.m_pitchY);
    h.m_feedLength = SaneLength(h.m_feedLength);
    h.m_arrayCountX = std::max<std::uint32_t>(h.m_arrayCountX, 1);
    h.m_arrayCountY = std::max<std::uint32_t>(h.m_arrayCountY, 1);
    return FitIntoPicture(h, picture);
}

void CPathPreviewDlg::JobBuilt(double scale)
{
    m_scale = scale;
    m_buildBar->hide();
    m_buildCancel->hide();
    for (int id : {IDC_START, IDC_ESTIMATE})
        Button(id)->setEnabled(true);
    UpdateStep();
    ShowPicture();
}

bool CPathPreviewDlg::JobReady() const
{
    return !m_build->Running();
}

void CPathPreviewDlg::OnInitDialog()
{
    SetTitleFromSection(0);
    const std::pair<int, int> texts[] = {{IDC_FASTER, 1}, {IDC_SLOWER, 2}, {IDC_START, 3},
                                         {IDC_PAUSE, 4},  {IDC_END, 6},    {IDC_ESTIMATE, 7}};
    for (const auto& [id, entry] : texts)
        SetTextFromSection(Button(id), entry);
    auto text = [this](int k, const char16_t* fallback) {
        std::u16string t = SectionText(k);
        return t.empty() ? std::u16string(fallback) : t;
    };
    m_pauseText = text(4, u"Pause");
    m_continueText = text(5, u"Continue");
    const std::u16string shown =
        u"00 " + text(8, u"h") + u"\r00 " + text(9, u"min") + u"\r00 " + text(10, u"s");
    m_runTime->setText(QString::fromStdU16String(shown).replace(QLatin1Char('\r'), QLatin1Char('\n')));

    m_picture.fill(Qt::white);
    UpdateStep();
    ShowPicture();
}

double CPathPreviewDlg::FitIntoPicture(WORKHEAD& h, QSize picture)
{
    WORKLAYER* layers = h.m_layers;
    h.m_feedCount = std::max(h.m_feedCount, 1);
    if (layers == nullptr)
        return 1.0;
    double xmin = 1e8, xmax = -1e8, ymin = 1e8, ymax = -1e8;
    CFileTrans::GetLayersBoundRect(layers, xmin, xmax, ymin, ymax, true);
    const double width = std::max(xmax - xmin, 0.0);
    const double height = std::max(ymax - ymin, 0.0);
    const double countX = h.m_arrayCountX;
    const double countY = h.m_arrayCountY;
    double vertical = height * countX;
    if (h.m_arrayCountX > 1)
        vertical = std::max(vertical, std::fabs(countX * h.m_pitchX));
    if (h.m_feedCount > 1)
        vertical = std::max(vertical, std::fabs(h.m_feedCount * h.m_feedLength));
    const double horizontal = countY * std::max(std::fabs(h.m_pitchY), width);
    const double scale = FitScale(picture.width() - 2 * kMargin, picture.height() - 2 * kMargin, horizontal, vertical);

    // Origin corners 0 and 2 count x from the right, 2 and 3 y from the top.
    const double sx = (h.m_originCorner == 0 || h.m_originCorner == 2) ? -scale : scale;
    const double sy = (h.m_originCorner == 2 || h.m_originCorner == 3) ? -scale : scale;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& path) {
            ForEachSegment(path, [&](SEGNODE& s) {
                s.m_x0 *= sx;
                s.m_y0 *= sy;
                s.m_x1 *= sx;
                s.m_y1 *= sy;
            });
            if (path.m_pArray != nullptr) {
                path.m_pArray->m_dDx = SaneLength(path.m_pArray->m_dDx) * scale;
                path.m_pArray->m_dDy = SaneLength(path.m_pArray->m_dDy) * scale;
            }
        });
    });
    CFileTrans::RecalcPathBoundRects(layers);
    h.m_pitchX *= scale;
    h.m_pitchY *= scale;
    h.m_feedLength *= scale;

    // The smallest corner of all copies and passes to the picture's origin,
    // then the margin.
    xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    CFileTrans::GetLayersBoundRect(layers, xmin, xmax, ymin, ymax, true);
    double dx = kMargin - xmin;
    double dy = kMargin - ymin;
    if (h.m_pitchY < 0.0)
        dx -= (countY - 1) * h.m_pitchY;
    if (h.m_pitchX < 0.0)
        dy -= (countX - 1) * h.m_pitchX;
    if (h.m_feedLength < 0.0)
        dy -= (h.m_feedCount - 1.0) * h.m_feedLength;
    if (std::isfinite(dx) && std::isfinite(dy))
        CFileTrans::OffsetLayers(layers, dx, dy, true, false);
    CFileTrans::GetLayersBoundRect(layers, h.m_minX, h.m_maxX, h.m_minY, h.m_maxY, false);
    return scale;
}

void CPathPreviewDlg::UpdateStep()
{
    m_step = kTimerPeriodMs * m_speed / 1000.0 * m_scale;
}

bool CPathPreviewDlg::ArrayJob() const
{
    return m_header.m_arrayCountX > 1 || m_header.m_arrayCountY > 1;
}

void CPathPreviewDlg::OnFaster()
{
    // Kept within a range where the step stays a finite, positive number
    // however often the buttons are pressed.
    m_speed = std::min(m_speed * 3.0, 1e12);
    UpdateStep();
}

void CPathPreviewDlg::OnSlower()
{
    m_speed = std::max(m_speed * 0.34, 1e-6);
    UpdateStep();
}

void CPathPreviewDlg::ClearPosition()
{
    m_layer = nullptr;
    m_path = nullptr;
    m_seg = nullptr;
    m_drawn = 0.0;
    m_groups.clear();
    m_copyX = m_copyY = m_pass = 0;
    m_dirX = m_dirY = 1;
    m_offsetX = m_offsetY = 0.0;
    m_groupX = m_groupY = 0.0;
}

void CPathPreviewDlg::OnStart()
{
    if (m_header.m_layers == nullptr)
        return;
    m_timer->stop();
    m_picture.fill(Qt::white);
    const WORKHEAD& h = m_header;

    // The positioning point on the job's extents, as an 8 x 8 red square.
    const double xs[3] = {h.m_minX, (h.m_minX + h.m_maxX) / 2.0, h.m_maxX};
    const double ys[3] = {h.m_minY, (h.m_minY + h.m_maxY) / 2.0, h.m_maxY};
    const int p = h.m_posPoint <= 8 ? h.m_posPoint : 8;
    const QPoint mark(static_cast<int>(std::lround(std::clamp(xs[p % 3], -1e6, 1e6))),
                      static_cast<int>(std::lround(std::clamp(ys[p / 3], -1e6, 1e6))));
    QPainter(&m_picture).fillRect(QRect(mark.x() - 4, mark.y() - 4, 8, 8), Qt::red);

    ClearPosition();
    const int countX = static_cast<int>(h.m_arrayCountX);
    const int countY = static_cast<int>(h.m_arrayCountY);
    m_dirX = h.m_pitchX > 0.0 ? 1 : -1;
    m_copyX = m_dirX > 0 ? 0 : countX - 1;
    m_dirY = h.m_pitchY > 0.0 ? 1 : -1;
    // The first tick steps onto the first copy.
    m_copyY = (m_dirY > 0 ? -1 : countY) + m_dirY;
    m_marks.clear();
    if (ArrayJob())
        m_marks.resize(static_cast<std::size_t>(countY));
    m_layer = h.m_layers;
    EnterPath(m_layer->m_paths);
    m_offsetX = ArrayJob() ? 0.0 : m_copyY * h.m_pitchY;
    m_offsetY = m_copyX * h.m_pitchX;

    UpdateStep();
    if (QWidget* pause = Button(IDC_PAUSE)) {
        pause->setEnabled(true);
        static_cast<CXPButton*>(pause)->setText(QString::fromStdU16String(m_pauseText));
    }
    m_state = RUNNING;
    m_timer->start();
    ShowPicture();
}

void CPathPreviewDlg::OnPauseContinue()
{
    CXPButton* pause = Button(IDC_PAUSE);
    if (m_state == RUNNING) {
        m_timer->stop();
        m_state = PAUSED;
        pause->setText(QString::fromStdU16String(m_continueText));
    } else if (m_state == PAUSED) {
        m_timer->start();
        m_state = RUNNING;
        pause->setText(QString::fromStdU16String(m_pauseText));
    }
}

void CPathPreviewDlg::Stop()
{
    m_timer->stop();
    m_state = STOPPED;
    Button(IDC_PAUSE)->setEnabled(false);
}

void CPathPreviewDlg::OnEnd()
{
    Stop();
    ClearPosition();
}

void CPathPreviewDlg::reject()
{
    m_build->Cancel();
    m_timer->stop();
    m_state = STOPPED;
    QDialog::reject();
}

void CPathPreviewDlg::OnEstimate()
{
    const SoftwareSettings* settings = m_context.m_pSettings;
    const MachineNode* machine = settings != nullptr ? GetCurrentMachine(*settings) : nullptr;
    const RUNTIMEPARAMS params = RunTimeParams(machine, m_scale);
    // The divisor takes the paths back to millimetres; the pitches and the
    // feed length are read as they stand, so they go back here.
    WORKHEAD job = m_header;
    job.m_pitchX /= m_scale;
    job.m_pitchY /= m_scale;
    job.m_feedLength /= m_scale;
    const double seconds = g_runTime ? g_runTime(job, params) : CCalcFileRunTime().CalcRunTime(&job, params);
    auto text = [this](int k, const char16_t* fallback) {
        std::u16string t = SectionText(k);
        return t.empty() ? std::u16string(fallback) : t;
    };
    const std::u16string shown = RunTimeText(seconds, text(8, u"h"), text(9, u"min"), text(10, u"s"));
    m_runTime->setText(QString::fromStdU16String(shown).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

bool CPathPreviewDlg::NextCopy()
{
    const WORKHEAD& h = m_header;
    const int countX = static_cast<int>(h.m_arrayCountX);
    const int countY = static_cast<int>(h.m_arrayCountY);
    bool stepX = true;
    if (!ArrayJob()) {
        m_copyY += m_dirY;
        if (m_copyY >= 0 && m_copyY < countY) {
            stepX = false;
        } else {
            m_dirY = -m_dirY;
            m_copyY += m_dirY;
        }
    }
    bool more = true;
    if (stepX) {
        m_copyX += m_dirX;
        if (m_copyX < 0 || m_copyX >= countX) {
            // Each copy once per pass; the next pass runs them back.
            m_dirX = -m_dirX;
            m_copyX += m_dirX;
            ++m_pass;
            more = m_pass < h.m_feedCount;
        }
    }
    m_offsetX = ArrayJob() ? 0.0 : m_copyY * h.m_pitchY;
    m_offsetY = m_copyX * h.m_pitchX + m_pass * h.m_feedLength;
    return more;
}

void CPathPreviewDlg::EnterPath(PATHREC* path)
{
    m_path = path;
    m_seg = nullptr;
    m_drawn = 0.0;
    if (path == nullptr)
        return;
    if (path->m_kind != PATH_KIND_GROUP) {
        m_seg = path->m_pSegs;
        return;
    }
    if (path->m_pArray != nullptr) {
        // Its copies start at (0, 0); groups nested deeper than the limit
        // are drawn once.
        Group g;
        g.open = path;
        if (m_groups.size() < kMaxGroupDepth) {
            g.rows = std::max<int>(path->m_pArray->m_nRows, 1);
            g.cols = std::max<int>(path->m_pArray->m_nCols, 1);
        }
        m_groups.push_back(g);
    }
}

bool CPathPreviewDlg::NextPath()
{
    if (m_path != nullptr && m_path->m_kind == PATH_KIND_GROUP && m_path->m_pArray == nullptr && !m_groups.empty()) {
        // A closing bracket: the group's next copy, from its first member.
        Group& g = m_groups.back();
        const ARRAYREC& a = *g.open->m_pArray;
        m_groupX -= g.col * a.m_dDx;
        m_groupY -= g.row * a.m_dDy;
        g.col += g.colDir;
        if (g.col < 0 || g.col >= g.cols) {
            g.colDir = -g.colDir;
            g.col += g.colDir;
            ++g.row;
        }
        if (g.row < g.rows) {
            m_groupX += g.col * a.m_dDx;
            m_groupY += g.row * a.m_dDy;
            m_path = g.open;
        } else {
            m_groups.pop_back();
        }
    }
    PATHREC* next = m_path != nullptr ? m_path->m_pNext : nullptr;
    if (next == nullptr || next == m_layer->m_paths)
        return false;
    EnterPath(next);
    return true;
}

void CPathPreviewDlg::Tick()
{
    if (m_state != RUNNING || m_layer == nullptr)
        return;
    const bool array = ArrayJob();
    const int copies = array ? static_cast<int>(m_header.m_arrayCountY) : 1;
    const double pitch = array ? m_header.m_pitchY : 0.0;
    double budget = m_step;
    long long visits = 0;
    while (budget > 0.0 && visits < kMaxVisitsPerTick) {
        ++visits;
        if (m_seg == nullptr) {
            if (NextPath())
                continue;
            // The layer is done: on to the next one, or the job is.
            m_groups.clear();
            m_groupX = m_groupY = 0.0;
            WORKLAYER* layer = m_layer->m_next;
            if (layer == nullptr || layer == m_header.m_layers) {
                if (!NextCopy()) {
                    Stop();
                    ClearPosition();
                    break;
                }
                layer = m_header.m_layers;
            }
            m_layer = layer;
            EnterPath(layer->m_paths);
            continue;
        }

        const SEGNODE& s = *m_seg;
        const double ox = m_offsetX + m_groupX;
        const double oy = m_offsetY + m_groupY;
        visits += copies - 1;
        double endX = s.m_x1;
        double endY = s.m_y1;
        bool whole = true;
        if (m_path->m_kind == PATH_KIND_DOT) {
            for (int j = 0; j < copies; ++j)
                Plot(s.m_x1 + ox + j * pitch, s.m_y1 + oy);
            budget -= kDotCost;
        } else {
            const double len = std::hypot(s.m_x1 - s.m_x0, s.m_y1 - s.m_y0);
            const double from = m_drawn;
            double to = len;
            if (len - from > budget) {
                to = from + budget;
                whole = false;
            }
            const double t0 = len > 0.0 ? from / len : 0.0;
            const double t1 = len > 0.0 ? to / len : 1.0;
            const double x0 = s.m_x0 + (s.m_x1 - s.m_x0) * t0;
            const double y0 = s.m_y0 + (s.m_y1 - s.m_y0) * t0;
            endX = s.m_x0 + (s.m_x1 - s.m_x0) * t1;
            endY = s.m_y0 + (s.m_y1 - s.m_y0) * t1;
            for (int j = 0; j < copies; ++j)
                Line(x0 + ox + j * pitch, y0 + oy, endX + ox + j * pitch, endY + oy);
            budget -= to - from;
            m_drawn = to;
        }
        if (array) {
            for (int j = 0; j < copies; ++j) {
                const double x = std::clamp(endX + ox + j * pitch, -1e6, 1e6);
                const double y = std::clamp(endY + oy, -1e6, 1e6);
                m_marks[static_cast<std::size_t>(j)] = QPoint(static_cast<int>(x), static_cast<int>(y));
            }
        }
        if (whole) {
            m_drawn = 0.0;
            m_seg = m_seg->m_pNext;
            if (m_seg == m_path->m_pSegs)
                m_seg = nullptr;
        }
    }
    ShowPicture();
}

void CPathPreviewDlg::ShowPicture()
{
    m_control->update();
}

void CPathPreviewDlg::Plot(double x, double y)
{
    if (!(x >= 0.0 && y >= 0.0 && x < m_picture.width() && y < m_picture.height()))
        return;
    reinterpret_cast<QRgb*>(m_picture.scanLine(static_cast<int>(y)))[static_cast<int>(x)] = qRgb(0, 0, 0);
}

void CPathPreviewDlg::Line(double x0, double y0, double x1, double y1)
{
    // Clipped to the picture with a pixel to spare (Liang-Barsky), so that
    // far-off coordinates neither cost time nor overflow; the end pixel is
    // left for the stretch that goes on from it.
    const double lo[2] = {-2.0, -2.0};
    const double hi[2] = {m_picture.width() + 1.0, m_picture.height() + 1.0};
    const double p0[2] = {x0, y0};
    const double d[2] = {x1 - x0, y1 - y0};
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(d[0]) || !std::isfinite(d[1]))
        return;
    double t0 = 0.0, t1 = 1.0;
    for (int a = 0; a < 2; ++a) {
        if (d[a] == 0.0) {
            if (p0[a] < lo[a] || p0[a] > hi[a])
                return;
            continue;
        }
        double ta = (lo[a] - p0[a]) / d[a];
        double tb = (hi[a] - p0[a]) / d[a];
        if (ta > tb)
            std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
        if (t0 > t1)
            return;
    }
    const bool endClipped = t1 < 1.0;
    int ax = static_cast<int>(std::lround(x0 + d[0] * t0));
    int ay = static_cast<int>(std::lround(y0 + d[1] * t0));
    const int bx = static_cast<int>(std::lround(x0 + d[0] * t1));
    const int by = static_cast<int>(std::lround(y0 + d[1] * t1));
    const int w = m_picture.width();
    const int h = m_picture.height();
    auto* bits = reinterpret_cast<QRgb*>(m_picture.bits());
    const qsizetype stride = m_picture.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    const int dx = std::abs(bx - ax), sx = ax < bx ? 1 : -1;
    const int dy = -std::abs(by - ay), sy = ay < by ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        const bool atEnd = ax == bx && ay == by;
        if (atEnd && !endClipped)
            break;
        if (ax >= 0 && ay >= 0 && ax < w && ay < h)
            bits[ay * stride + ax] = qRgb(0, 0, 0);
        if (atEnd)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            ax += sx;
        }
        if (e2 <= dx) {
            err += dx;
            ay += sy;
        }
    }
}
