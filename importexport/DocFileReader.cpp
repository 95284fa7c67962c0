#include "DocFileReader.h"

#include "model/ArrayExplode.h"
#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataChar.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocDataLine.h"
#include "model/DocDataNurbs.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/NodeList.h"
#include "platform/Folders.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"
#include "platform/WorkControl.h"
#include "platform/WorkFolder.h"
#include "settings/SoftwareSettings.h"

#include <cmath>
#include <filesystem>
#include <limits>

namespace {

enum Keyword : int {
    KW_NONE = -1,
    KW_VERSION = 0,
    KW_COORDINATE,
    KW_UNITS,
    KW_META,
    KW_PEN,
    KW_LEN,
    KW_POSITION,
    KW_BITCOUNT,
    KW_START,
    KW_VALUE,
    KW_END,
    KW_EXTERN,
    KW_ARRAY,
    KW_MT_UNKNOWN, // the type tags follow in type id order
};

constexpr std::int64_t kMaxLayer = 255;
constexpr std::int64_t kMaxNodeState = 2;
constexpr std::int64_t kMaxByte = 255;
constexpr std::int64_t kMaxArrayCount = 65535;
constexpr std::size_t kImageField = 3;
// Names tried for one embedded image before the read gives up.
constexpr int kMaxImageNames = 100000;
// The array record's values before the file's are read.
constexpr double kDefaultAreaW = 9000.0;
constexpr double kDefaultAreaH = 6000.0;

int KeywordOf(std::string_view line)
{
    for (std::size_t i = 0; i < CDocFileReader::kKeywords.size(); ++i) {
        if (line == CDocFileReader::kKeywords[i])
            return static_cast<int>(i);
    }
    return KW_NONE;
}

CDocData* MakeObject(std::uint32_t type)
{
    switch (type) {
    case MT_POINT:
        return new CDocDataPoint;
    case MT_LINE:
        return new CDocDataLine;
    case MT_RECT:
        return new CDocDataRect;
    case MT_ELLIPSE:
        return new CDocDataEllipse;
    case MT_BEZIER:
        return new CDocDataBezier;
    case MT_NURBS: {
        auto* nurbs = new CDocDataNurbs;
        nurbs->SetType(MT_NURBS);
        return nurbs;
    }
    case MT_CHAR:
        return new CDocDataChar;
    case MT_GROUP:
        return new CDocDataGroup;
    default:
        return nullptr;
    }
}

} // namespace

bool CDocFileReader::Read(const std::string& path, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes))
        return false;
    return ReadBytes(bytes, plat::FileNameOf(path), list, ctx);
}

bool CDocFileReader::ReadBytes(std::string_view bytes, const std::string& fileName, CDocData*& list, DOCCONTEXT* ctx)
{
    list = nullptr;
    m_text = bytes;
    m_pos = 0;
    m_failed = false;
    m_nImage = 0;
    m_written.clear();
    m_imageStem = fileName.substr(0, fileName.rfind('.'));

    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    std::string_view line;
    // How far through the file, now and then; a cancelled read fails.
    constexpr int kObjectsPerStep = 4096;
    int sinceStep = 0;
    while (!m_failed && NextLine(line)) {
        switch (KeywordOf(line)) {
        case KW_VERSION:
        case KW_COORDINATE:
        case KW_UNITS:
            NextLine(line); // read and not used
            break;
        case KW_META:
            if (++sinceStep == kObjectsPerStep) {
                sinceStep = 0;
                if (!plat::WorkStep(static_cast<int>(m_pos * plat::WorkControl::kWhole / m_text.size()))) {
                    Fail();
                    break;
                }
            }
            if (CDocData* o = ReadObject(ctx, 1))
                AppendObject(head, tail, o);
            break;
        default:
            break;
        }
    }
    if (m_failed || head == nullptr) {
        DeleteObjectList(head);
        for (const std::string& path : m_written) {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
        m_written.clear();
        return false;
    }
    list = head;
    return true;
}

CDocData* CDocFileReader::ReadObject(DOCCONTEXT* ctx, int depth)
{
    if (depth > kMaxDocFileDepth) {
        Fail();
        return nullptr;
    }
    std::string_view tag;
    if (!NextLine(tag))
        return nullptr;
    const int keyword = KeywordOf(tag);
    // No class for MT_UNKNOWN or any other tag: what follows is read on.
    if (keyword <= KW_MT_UNKNOWN)
        return nullptr;
    const auto type = static_cast<std::uint32_t>(keyword - KW_MT_UNKNOWN);
    CDocData* object = nullptr;
    if (type == MT_BITMAP)
        ReadImageBlock(object, ctx);
    else
        ReadBlock(type, object, ctx, depth);
    if (m_failed) {
        delete object;
        return nullptr;
    }
    if (object != nullptr && ctx != nullptr) {
        object->m_nColor = CDocData::SettingsOf(ctx).m_palette[static_cast<std::size_t>(object->m_nLayer)];
        object->RecalcBoundRect(ctx);
    }
    return object;
}

void CDocFileReader::ReadBlock(std::uint32_t type, CDocData*& object, DOCCONTEXT* ctx, int depth)
{
    const bool composite = type == MT_CHAR || type == MT_GROUP;
    std::int64_t pen = 0;
    DOCNODE* lastNode = nullptr;
    CDocData* lastChild = nullptr;
    std::string_view line;
    while (!m_failed && NextLine(line)) {
        switch (KeywordOf(line)) {
        case KW_PEN:
            IntLine(pen, 0, kMaxLayer);
            break;
        case KW_START:
            // A second START changes nothing.
            if (object == nullptr) {
                object = MakeObject(type);
                object->m_nLayer = static_cast<std::int32_t>(pen);
            }
            break;
        case KW_VALUE:
            if (!composite) {
                // Nodes before START are read and dropped.
                DOCNODE node;
                std::int64_t kind = 0, state = 0;
                if (RealLine(node.m_x) && RealLine(node.m_y) && IntLine(kind, 0, kMaxNodeState) &&
                    IntLine(state, 0, kMaxNodeState) && object != nullptr) {
                    lastNode = AppendNode(lastNode, node.m_x, node.m_y, static_cast<std::uint8_t>(kind),
                                          static_cast<std::uint8_t>(state));
                    if (object->m_pNodes == nullptr)
                        object->m_pNodes = lastNode;
                }
            } else if (!NextLine(line)) {
                Fail(); // the line before the child is missing
            } else if (CDocData* child = ReadObject(ctx, depth + 1)) {
                if (object == nullptr) {
                    delete child;
                } else {
                    if (lastChild == nullptr) {
                        *object->ChildList() = child;
                    } else {
                        lastChild->m_pNext = child;
                        child->m_pPrev = lastChild;
                    }
                    lastChild = child;
                }
            }
            break;
        case KW_EXTERN:
            ReadLeads(object);
            break;
        case KW_ARRAY:
            ReadArray(object);
            break;
        case KW_END:
            return;
        default:
            break;
        }
    }
}

bool CDocFileReader::ReadLeads(CDocData* object)
{
    std::int64_t in = 0, out = 0;
    LEADINOUT lead;
    if (!IntLine(in, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()) ||
        !RealLine(lead.m_dInAngle) || !RealLine(lead.m_dInLength) || !RealLine(lead.m_dInX) ||
        !RealLine(lead.m_dInY) ||
        !IntLine(out, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()) ||
        !RealLine(lead.m_dOutAngle) || !RealLine(lead.m_dOutLength) || !RealLine(lead.m_dOutX) ||
        !RealLine(lead.m_dOutY))
        return false;
    if (object == nullptr)
        return true;
    lead.m_nKind = 2;
    lead.m_bDone = 0;
    lead.m_bLeadIn = in != 0 ? 1 : 0;
    lead.m_bLeadOut = out != 0 ? 1 : 0;
    delete object->m_pLeadInOut;
    object->m_pLeadInOut = new LEADINOUT(lead);
    return true;
}

bool CDocFileReader::ReadArray(CDocData* object)
{
    ARRAYREC array;
    array.m_nRows = 1;
    array.m_nCols = 1;
    array.m_dDy = 0.0;
    array.m_dDx = 0.0;
    array.m_bFlag = 0;
    array.m_dAreaW = kDefaultAreaW;
    array.m_dAreaH = kDefaultAreaH;
    std::int64_t rows = 0, cols = 0, flag = 0;
    if (!IntLine(rows, 0, kMaxArrayCount) || !IntLine(cols, 0, kMaxArrayCount) || !RealLine(array.m_dDy) ||
        !RealLine(array.m_dDx) ||
        !IntLine(flag, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()) ||
        !RealLine(array.m_dAreaW) || !RealLine(array.m_dAreaH))
        return false;
    // As many copies as the array walkers take, no more.
    if (rows * cols > kMaxArrayCopies)
        return Fail();
    if (object == nullptr)
        return true;
    array.m_nRows = static_cast<std::uint16_t>(rows);
    array.m_nCols = static_cast<std::uint16_t>(cols);
    array.m_bFlag = flag != 0 ? 1 : 0;
    delete object->m_pArray;
    object->m_pArray = new ARRAYREC(array);
    return true;
}

void CDocFileReader::ReadImageBlock(CDocData*& object, DOCCONTEXT* ctx)
{
    std::int64_t pen = 0, length = 0, flag = 0;
    double x = 0.0, y = 0.0;
    std::string_view line;
    while (!m_failed && NextLine(line)) {
        switch (KeywordOf(line)) {
        case KW_PEN:
            IntLine(pen, 0, kMaxLayer);
            break;
        case KW_LEN:
            IntLine(length, 0, std::numeric_limits<std::int64_t>::max());
            break;
        case KW_POSITION:
            if (RealLine(x))
                RealLine(y);
            break;
        case KW_BITCOUNT:
            IntLine(flag, 0, kMaxByte);
            break;
        case KW_START:
            if (object == nullptr) {
                object = new CDocDataBitmap;
                object->m_nLayer = static_cast<std::int32_t>(pen);
            }
            break;
        case KW_VALUE: {
            // The fields follow right after the VALUE line, no line ends
            // between them.
            const std::size_t left = m_text.size() - m_pos;
            if (static_cast<std::uint64_t>(length) > left / kImageField) {
                Fail();
                break;
            }
            const std::string_view fields = m_text.substr(m_pos, static_cast<std::size_t>(length) * kImageField);
            m_pos += fields.size();
            std::string path;
            if (object == nullptr || !WriteImage(fields, path))
                break;
            auto* image = static_cast<CDocDataBitmap*>(object);
            image->SetSelected(1);
            image->m_strName = path;
            image->m_strPath = path;
            image->m_bFlag = static_cast<std::uint8_t>(flag);
            image->m_x = x;
            image->m_y = y;
            image->ReadBmpHeader();
            image->RecalcBoundRect(ctx);
            break;
        }
        case KW_END:
            return;
        default:
            break;
        }
    }
}

bool CDocFileReader::WriteImage(std::string_view fields, std::string& path)
{
    std::string bytes(fields.size() / kImageField, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bool ok = false;
        const std::int64_t v = plat::ParseInt(fields.substr(i * kImageField, kImageField), &ok);
        if (!ok || v < 0 || v > kMaxByte)
            return Fail();
        bytes[i] = static_cast<char>(v);
    }
    const std::string folder = plat::WithTrailingSeparator(plat::FileFolder());
    if (!plat::CreateOwnFolder(folder))
        return Fail();
    // The next name that no file has, so that the images of two files of
    // one name, or of an earlier run, are never overwritten.
    for (int tries = 0; path.empty(); ++tries) {
        if (tries == kMaxImageNames)
            return Fail();
        const std::string candidate = folder + m_imageStem + plat::FormatInt(m_nImage++) + ".bmp";
        if (plat::CreateNewFile(candidate)) {
            path = candidate;
        } else {
            std::error_code ec;
            if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec)))
                return Fail();
        }
    }
    m_written.push_back(path);
    return plat::WriteScratchFile(path, bytes) || Fail();
}

bool CDocFileReader::NextLine(std::string_view& line)
{
    if (m_pos >= m_text.size())
        return false;
    const std::size_t nl = m_text.find('\n', m_pos);
    const std::size_t end = nl == std::string_view::npos ? m_text.size() : nl;
    line = m_text.substr(m_pos, end - m_pos);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    m_pos = nl == std::string_view::npos ? m_text.size() : nl + 1;
    return true;
}

bool CDocFileReader::IntLine(std::int64_t& value, std::int64_t lowest, std::int64_t highest)
{
    std::string_view line;
    if (!NextLine(line))
        return Fail();
    const std::int64_t v = plat::ParseInt(line);
    if (v < lowest || v > highest)
        return Fail();
    value = v;
    return true;
}

bool CDocFileReader::RealLine(double& value)
{
    std::string_view line;
    if (!NextLine(line))
        return Fail();
    const double v = plat::ParseDouble(line);
    if (!std::isfinite(v) || std::fabs(v) > kMaxDocFileCoordinate)
        return Fail();
    value = v;
    return true;
}

bool CDocFileReader::Fail()
{
    m_failed = true;
    return false;
}
