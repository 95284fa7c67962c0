#include "BmpWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

void PutU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

BmpWriter::BmpWriter(std::string path) : m_path(std::move(path)) {}

BmpWriter::~BmpWriter()
{
    if (m_fd >= 0)
        Discard();
}

bool BmpWriter::MakeHeader(std::int64_t width, std::int64_t height, std::array<std::uint8_t, kHeaderSize>& header)
{
    constexpr std::uint64_t kLimit = 0xFFFFFFFFull;
    if (width <= 0 || height <= 0 || width > std::int64_t(kLimit) || height > std::int64_t(kLimit))
        return false;
    // Both factors fit 32 bits, so the product cannot overflow 64.
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
    if (pixels > (kLimit - kHeaderSize) / 4)
        return false;
    const auto imageSize = std::uint32_t(pixels * 4);
    header.fill(0);
    header[0] = 'B';
    header[1] = 'M';
    PutU32(&header[2], std::uint32_t(kHeaderSize) + imageSize);
    PutU32(&header[10], std::uint32_t(kHeaderSize));
    PutU32(&header[14], 40);
    PutU32(&header[18], std::uint32_t(width));
    PutU32(&header[22], std::uint32_t(height));
    PutU16(&header[26], 1);
    PutU16(&header[28], 32);
    PutU32(&header[34], imageSize);
    return true;
}

bool BmpWriter::Begin(std::int64_t width, std::int64_t height)
{
    std::array<std::uint8_t, kHeaderSize> header{};
    if (m_fd >= 0 || !MakeHeader(width, height, header))
        return false;
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return false;
    m_expected = std::uint64_t(width) * std::uint64_t(height) * 4;
    m_written = 0;
    if (!WriteAll(m_fd, header.data(), header.size())) {
        Discard();
        return false;
    }
    return true;
}

bool BmpWriter::AppendRows(const std::uint8_t* rows, std::size_t bytes)
{
    if (m_fd < 0 || bytes > m_expected - m_written)
        return false;
    if (!WriteAll(m_fd, rows, bytes)) {
        Discard();
        return false;
    }
    m_written += bytes;
    return true;
}

bool BmpWriter::Finish()
{
    if (m_fd < 0)
        return false;
    if (m_written != m_expected) {
        Discard();
        return false;
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        ::unlink(m_path.c_str());
        return false;
    }
    return true;
}

void BmpWriter::Discard()
{
    ::close(std::exchange(m_fd, -1));
    ::unlink(m_path.c_str());
}
