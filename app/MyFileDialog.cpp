#include "MyFileDialog.h"

#include "qtplatform/FrameworkText.h"
#include "qtplatform/QtDeviceContext.h"
#include "importexport/BmpPixels.h"
#include "importexport/FileReadTrans.h"
#include "importexport/GifDecoder.h"
#include "importexport/JpegDecoder.h"
#include "importexport/PngDecoder.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/NodeList.h"
#include "platform/ImportOptions.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"
#include "processing/FileTrans.h"
#include "settings/LanguageTable.h"
#include "settings/SettingsCopy.h"
#include "settings/SoftwareSettings.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

// A look at a file asks nothing and keeps nothing: on the thread that reads
// it, every message is answered silently and every import question with the
// values in force.
class QuietLook {
public:
    QuietLook()
    {
        plat::SetThreadPrompt(&m_quiet);
        plat::SetThreadImportOptions(&m_looking);
    }
    ~QuietLook()
    {
        plat::SetThreadPrompt(nullptr);
        plat::SetThreadImportOptions(nullptr);
    }
    QuietLook(const QuietLook&) = delete;
    QuietLook& operator=(const QuietLook&) = delete;

private:
    plat::RecordingPrompt m_quiet{1};
    plat::LookingImportOptions m_looking;
};

bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    return plat::ReadWholeFile(path, bytes);
}

std::int32_t Int32At(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(bytes[offset + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(v);
}

// The pixels of a BMP file's bytes through our own reader; null for a form
// it refuses (truncated, compressed, beyond its limits).
QImage DecodeBmp(const std::string& bytes)
{
    BmpPixels pixels;
    if (!pixels.Open(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        return QImage();
    const int width = pixels.Width();
    const int rows = static_cast<int>(pixels.Rows());
    if (width <= 0 || rows <= 0)
        return QImage();
    QImage image(width, rows, QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* row = pixels.Row(static_cast<std::size_t>(rows - 1 - y));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* bgr = nullptr;
            switch (pixels.BitCount()) {
            case 1:
                bgr = pixels.PaletteBgr((row[x / 8] >> (7 - x % 8)) & 1u);
                break;
            case 8:
                bgr = pixels.PaletteBgr(row[x]);
                break;
            case 24:
                bgr = row + 3 * x;
                break;
            default:
                bgr = row + 4 * x;
                break;
            }
            out[x] = qRgb(bgr[2], bgr[1], bgr[0]);
        }
    }
    return image;
}

// Image drawn at a size, centred in the box.
void DrawCentred(QImage& target, const QImage& image, double width, double height)
{
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    if (w <= 0 || h <= 0)
        return;
    QPainter painter(&target);
    painter.drawImage(QRect((target.width() - w) / 2, (target.height() - h) / 2, w, h), image);
}

int Pixel(double v)
{
    return static_cast<int>(v + 0.5);
}

void DrawObjects(QtDeviceContext& dc, CDocData* obj);

void DrawNodes(QtDeviceContext& dc, const CDocData& obj)
{
    const DOCNODE* first = obj.m_pNodes;
    if (first == nullptr)
        return;
    if (obj.GetType() == MT_ELLIPSE || obj.GetType() == MT_BEZIER) {
        // Pieces of four nodes, each sharing its last node with the next.
        std::vector<plat::POINT> points;
        const DOCNODE* n = first;
        do {
            points.push_back({Pixel(n->m_x), Pixel(n->m_y)});
            n = n->m_pNext;
        } while (n != nullptr && n != first);
        if (n == first)
            points.push_back({Pixel(first->m_x), Pixel(first->m_y)});
        const std::size_t usable = points.size() >= 4 ? points.size() - (points.size() - 1) % 3 : 0;
        if (usable >= 4)
            dc.PolyBezier(points.data(), usable);
        return;
    }
    dc.MoveTo(Pixel(first->m_x), Pixel(first->m_y));
    if (first->m_pNext == nullptr) {
        dc.LineTo(Pixel(first->m_x) + 1, Pixel(first->m_y));
        return;
    }
    // Along the links; a ring ends where it comes back to its first node.
    for (const DOCNODE* n = first->m_pNext; n != nullptr; n = n->m_pNext) {
        dc.LineTo(Pixel(n->m_x), Pixel(n->m_y));
        if (n == first)
            break;
    }
}

void DrawObjects(QtDeviceContext& dc, CDocData* obj)
{
    for (; obj != nullptr; obj = obj->m_pNext) {
        if (CDocData** children = obj->ChildList()) {
            DrawObjects(dc, *children);
            continue;
        }
        dc.SelectPen(plat::Pen{plat::PS_SOLID, 1, obj->m_nColor});
        DrawNodes(dc, *obj);
    }
}

// The objects scaled to fit the image and centred in it, drawn in their
// colours.
void DrawDrawing(CDocData* list, QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    if (list == nullptr || !CFileTrans::GetObjectsBoundRect(list, xmin, xmax, ymin, ymax) || xmin > xmax ||
        ymin > ymax)
        return;
    const double bw = xmax - xmin;
    const double bh = ymax - ymin;
    const double sx = bw > 0.001 ? (width - 10.0) / bw : 1.0;
    const double sy = bh > 0.001 ? (height - 10.0) / bh : 1.0;
    double s = 1.0;
    if (sx > 1e-5 && sy > 1e-5)
        s = std::min(sx, sy);
    else if (sx > 1e-5)
        s = sx;
    else if (sy > 1e-5)
        s = sy;
    CFileTrans::ScaleObjects(list, 1.0 / s, false, nullptr);
    xmin = ymin = 1e300;
    xmax = ymax = -1e300;
    CFileTrans::GetObjectsBoundRect(list, xmin, xmax, ymin, ymax);
    const double dx = (width - (xmax - xmin)) / 2.0 - xmin;
    const double dy = (height - (ymax - ymin)) / 2.0 - ymin;
    for (CDocData* obj = list; obj != nullptr; obj = obj->m_pNext)
        obj->Move(CGeoPoint(0.0, 0.0), CGeoPoint(dx, dy), nullptr);
    QtDeviceContext dc(image);
    DrawObjects(dc, list);
}

constexpr std::int32_t kAnyPlotterResolution = 1016;

} // namespace

// A look at a file on its own thread: copies of the settings, and what it
// makes of the file.
struct CMyFileDialog::Look {
    Look(const SoftwareSettings& source, int width, int height)
        : settings(source), image(width, height, QImage::Format_RGB32)
    {
        image.fill(Qt::white);
    }
    SettingsCopy settings;
    QImage image;
    int objects = 0;
};

CMyFileDialog::CMyFileDialog(QWidget* parent, const QStringList& filters, const QString& folder,
                             const QString& checkText, bool preview)
    : QFileDialog(parent), m_preview(preview), m_image(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters(filters);
    setDirectory(folder);
    m_image.fill(Qt::white);

    auto* pane = new QWidget(this);
    auto* column = new QVBoxLayout(pane);
    m_check = new QCheckBox(checkText, pane);
    m_check->setObjectName(QString::number(kPreviewCheckId));
    m_check->setChecked(m_preview);
    m_window = new QLabel(pane);
    m_window->setFixedSize(kPreviewWidth, kPreviewHeight);
    m_window->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_window->setAlignment(Qt::AlignCenter);
    column->addWidget(m_check);
    column->addWidget(m_window);
    column->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(m_check, &QCheckBox::clicked, this, [this] { OnPreviewCheck(); });
    connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) { OnFileNameChange(path); });
    ShowPreview();
}

void CMyFileDialog::accept()
{
    const QStringList chosen = selectedFiles();
    if (!m_accepted.isEmpty() && !chosen.isEmpty()) {
        const QFileInfo file(chosen.front());
        // Folders are the dialog's own to enter; missing files its own to refuse.
        if (file.exists() && !file.isDir() && !m_accepted.contains(file.suffix().toLower())) {
            plat::MessageBox(OpenFailureText(chosen.front(), ImportFailure::UnknownType).toStdU16String(),
                             std::u16string(), plat::MB_OK | plat::MB_ICONERROR);
            return;
        }
    }
    QFileDialog::accept();
}

void CMyFileDialog::ShowPreview()
{
    if (!m_preview)
        m_window->clear();
    else if (!m_placeholder.isEmpty())
        m_window->setText(m_placeholder);
    else
        m_window->setPixmap(QPixmap::fromImage(m_image));
}

void CMyFileDialog::OnPreviewCheck()
{
    m_preview = !m_preview;
    m_check->setChecked(m_preview);
    if (m_preview) {
        OnFileNameChange(m_current);
    } else {
        m_look.Cancel();
        m_placeholder.clear();
        ShowPreview();
    }
}

void CMyFileDialog::OnFileNameChange(const QString& path)
{
    m_current = path;
    // A newer highlight drops the look at the older one.
    m_look.Cancel();
    m_placeholder.clear();
    m_objects = 0;
    if (!m_preview)
        return;
    m_image.fill(Qt::white);
    const std::string file = path.toStdString();
    const std::size_t dot = file.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : file.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(file, ec);
    const std::uintmax_t size = regular ? std::filesystem::file_size(file, ec) : 0;
    if (regular && !ec && size > kPreviewLimitBytes)
        m_placeholder = Text(kTooLargeEntry);
    else if (extension == "bmp")
        StartLook([file](Look& look) { return PreviewPicture(file, look.image); });
    else if (extension == "jpg" || extension == "gif" || extension == "png")
        StartLook([file](Look& look) { return PreviewImage(file, look.image); });
    else if (regular)
        StartLook([file](Look& look) { return PreviewDrawing(file, look); });
    ShowPreview();
}

QString CMyFileDialog::Text(int entry)
{
    return QString::fromStdU16String(LanguageText(RegisteredLanguageTable(), kTextSection, entry));
}

bool CMyFileDialog::PreviewPicture(const std::string& path, QImage& box)
{
    std::string bytes;
    if (!ReadBytes(path, bytes) || bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    // The header's size is signed: a negative height is a top-down file of
    // that many rows; no width, or no rows, draws nothing.
    const double w = Int32At(bytes, 18);
    double h = Int32At(bytes, 22);
    if (h < 0.0)
        h = -h;
    if (w <= 0.0 || h == 0.0)
        return false;
    const double boxW = box.width();
    const double boxH = box.height();
    const double sx = (boxW - 10.0) / w;
    const double sy = (boxH - boxH * 10.0 / boxW) / h;
    double s = 1.0;
    if (sx < 1.00001 && sy > sx)
        s = sx;
    else if (sy < 1.00001)
        s = sy;
    const QImage image = DecodeBmp(bytes);
    if (image.isNull())
        return false;
    DrawCentred(box, image, w * s, h * s);
    return true;
}

bool CMyFileDialog::PreviewImage(const std::string& path, QImage& box)
{
    std::string bytes;
    if (!ReadBytes(path, bytes))
        return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::string bmp;
    const bool decoded = DecodeJpegToBmp(data, bytes.size(), bmp) || DecodePngToBmp(data, bytes.size(), bmp) ||
                         DecodeGifToBmp(data, bytes.size(), bmp);
    if (!decoded)
        return false;
    const QImage image = DecodeBmp(bmp);
    if (image.isNull())
        return false;
    const double w = image.width();
    const double h = image.height();
    double s = 1.0;
    if (w > box.width())
        s = (box.width() - 10.0) / w;
    if (h > box.height())
        s = std::min(s, (box.height() - 10.0) / h);
    DrawCentred(box, image, w * s, h * s);
    return true;
}

bool CMyFileDialog::PreviewDrawing(const std::string& path, Look& look)
{
    // The picture is fitted to the box: any plotter resolution draws it
    // alike, where the import would ask for one it lacks.
    if (look.settings.Get().plt_resolution < 1)
        look.settings.Get().plt_resolution = kAnyPlotterResolution;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &look.settings.Get();
    ImportedObjects objects;
    if (!CFileReadTrans().ReadObjects(&ctx, path, false, objects))
        return false;
    for (const CDocData* o = objects.list; o != nullptr; o = o->m_pNext)
        ++look.objects;
    DrawDrawing(objects.list, look.image);
    return true;
}

void CMyFileDialog::StartLook(std::function<bool(Look&)> read)
{
    m_placeholder = Text(kPreviewingEntry);
    auto look = std::make_shared<Look>(ThreadSettings(), m_image.width(), m_image.height());
    m_look.Start(
        [look, read = std::move(read)] {
            const QuietLook quiet;
            // Objects made while reading ask the machine of the settings in
            // force: the copy's, not the interface thread's.
            const ScopedThreadSettings threadSettings(look->settings.Get());
            return read(*look);
        },
        [this, look](bool ok) {
            m_placeholder.clear();
            if (ok) {
                m_image = look->image;
                m_objects = look->objects;
            }
            ShowPreview();
        });
}
