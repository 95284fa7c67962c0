// The controller's job stream as a transfer sends or saves it, built whole in
// memory: the prelude E2 00 with the length, E2 01, the job name, the frame
// trace command, the job body from offset 30 + its length and the checksum.
// A ready-made stream (a saved .out read back) gets only the job name and
// frame trace written into it.
#pragma once
#include "StreamBuffer.h"
#include "VantrelRecords.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class CJobEncoder;

// Where the job body starts, after the frame trace of payloadLength bytes.
constexpr std::uint32_t kStreamBodyAt = 30;
// The block a ready-made stream carries in front of it, skipped unread.
constexpr std::uint32_t kReadySkip = 384;
constexpr std::int32_t kFramePayloadMax = 122;
// The most bytes the stream's length field can give (four 7-bit groups):
// a longer job cannot go to the controller.
constexpr std::uint64_t kStreamLengthMax = (std::uint64_t{1} << 28) - 1;

// Cuts a ".out" or ".OUT" ending off a name of more than 4 characters in its
// 12-byte field, which is cleared behind the cut name. Nothing past the
// field is read.
void CutJobName(char (&name)[12]);

// Bytes from offset 8 up to where the frame trace ends: the name area, its
// terminating 0 and the payload with every D2 written as E3 01. The stream
// is sound only when this ends at or before kStreamBodyAt + payloadLength.
std::size_t NameAndFrameEnd(const char (&name)[12], const std::uint8_t* payload,
                            std::int32_t payloadLength);

// Writes the name and frame trace from offset 8 of stream. The name area
// holds the field's first 8 bytes, each as its low 7 bits, with 0F before a
// byte whose top bit is set and 0E before one whose top bit is clear when
// the byte before differs (the name starts as if after a clear one); a byte
// goes in only together with its shift byte, within 11 bytes.
void WriteNameAndFrame(std::uint8_t* stream, const char (&name)[12], const std::uint8_t* payload,
                       std::int32_t payloadLength);

class CJobStream {
public:
    static const std::size_t kDefaultPiecePaths; // kPiecePaths of the encoder

    enum class Result {
        Ok,
        OutOfMemory,
        InvalidJob, // a work mode beyond 8 or a stream too long for its length field
        Stopped,
    };

    // Builds the stream of a request checked by the transfer: encoded from
    // its job (the job name is cut in place, the encoder's write-backs
    // happen) or copied from its ready data. The job's layers, and the
    // pieces of a long layer, are encoded side by side, each into memory
    // that grows as it needs, so the stream is built in one encoding
    // whatever its size. stop, when given, is looked at once the layers are
    // encoded (the job is then left as found).
    Result Build(const TRANSFILEREQ& request, const std::atomic<bool>* stop = nullptr);

    std::uint8_t* Data() { return m_buffer.Data(); }
    std::size_t Size() const { return m_size; }
    // Encodings that did not fit and were done again with a larger buffer:
    // since the parts grow as they are written, none.
    int Retries() const { return m_retries; }
    // Paths per piece of a long layer (kPiecePaths); tests cut small layers.
    void SetPiecePathsForTesting(std::size_t paths) { m_piecePaths = paths < 1 ? 1 : paths; }

private:
    // Room for the stream and the zero bytes behind it; only those and the
    // first `zeroed` bytes are cleared.
    bool Allocate(std::size_t stream, std::size_t zeroed);
    Result Encode(const TRANSFILEREQ& request, const std::atomic<bool>* stop);
    Result CopyReady(const TRANSFILEREQ& request);
    // The header, the layers' parts and the end joined into the stream
    // behind room for its frame, the first part's memory taken over.
    Result JoinBody(const std::vector<CJobEncoder*>& body, std::size_t bodyAt, std::size_t front);
    // The stream's length, name and frame trace, and its checksum.
    void WriteFrame(WORKHEAD& head, const TRANSINFO& info);

    CStreamBuffer m_buffer;
    std::size_t m_size = 0;
    int m_retries = 0;
    std::size_t m_piecePaths = kDefaultPiecePaths;
};
