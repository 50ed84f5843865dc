#include "fits/gzip_source.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace orvel {

namespace {

constexpr std::size_t kInputPiece = std::size_t{256} << 10;  // compressed bytes read at a time
constexpr std::int64_t kFirstRoom = std::int64_t{64} << 10;  // room for the header at first
// Inflated bytes held before the oldest are let go: more than one read of the pixel reader.
constexpr std::int64_t kWindow = std::int64_t{8} << 20;

}  // namespace

struct GzipSource::Stream {
    z_stream z{};
    bool open = false;
    std::unique_ptr<unsigned char[]> input;  // one piece of the compressed bytes
    std::size_t inputBytes = 0;              // its room: a piece, or the whole of a small file
};

GzipSource::GzipSource(FitsFile compressed, std::int64_t limit)
    : compressed_(std::move(compressed)), stream_(std::make_unique<Stream>()), size_(limit) {
    stream_->inputBytes = static_cast<std::size_t>(
        std::clamp<std::int64_t>(compressed_.size(), 1, static_cast<std::int64_t>(kInputPiece)));
    stream_->input = std::make_unique_for_overwrite<unsigned char[]>(stream_->inputBytes);
    // 15 + 16: a gzip wrapper with the largest window, as gzip writes it.
    if (inflateInit2(&stream_->z, 15 + 16) == Z_OK)
        stream_->open = true;
    else
        problem_ = "its gzip data cannot be inflated (no memory for the stream)";
}

GzipSource::~GzipSource() {
    if (stream_->open) inflateEnd(&stream_->z);
}

std::int64_t GzipSource::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

std::string GzipSource::problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

void GzipSource::setSize(std::int64_t bytes) {
    std::lock_guard lock(mutex_);
    size_ = std::max<std::int64_t>(bytes, 0);
    sized_ = true;
}

std::size_t GzipSource::readAt(std::int64_t offset, void* buf, std::size_t n) {
    std::lock_guard lock(mutex_);
    if (offset < 0 || offset >= size_) return 0;
    const std::int64_t end = std::min<std::int64_t>(size_, offset + static_cast<std::int64_t>(n));
    if (offset < base_) restart();
    if (end > made_) inflateTo(offset, end);
    // The window always starts at or before the read (bytes before the read are let go only).
    const std::int64_t got = std::max<std::int64_t>(0, std::min(end, made_) - offset);
    if (got > 0) std::memcpy(buf, out_.get() + (offset - base_), static_cast<std::size_t>(got));
    return static_cast<std::size_t>(got);
}

// Back to the start of the stream, for a read before the bytes held.
void GzipSource::restart() {
    if (!stream_->open || inflateReset(&stream_->z) != Z_OK) return;
    stream_->z.avail_in = 0;
    inOffset_ = 0;
    base_ = made_ = 0;
    ended_ = false;
}

// Room in out_ for the next bytes of a read of offset..end: the bytes before the read are let
// go once the window is full; out_ grows by doubling up to the window, or to what one read needs.
bool GzipSource::makeRoom(std::int64_t offset, std::int64_t end) {
    if (made_ - base_ < capacity_) return true;
    const std::int64_t keepFrom = std::min(offset, made_);
    if (capacity_ >= kWindow && keepFrom > base_) {
        std::memmove(out_.get(), out_.get() + (keepFrom - base_),
                     static_cast<std::size_t>(made_ - keepFrom));
        base_ = keepFrom;
        return true;
    }
    const std::int64_t room = std::max({2 * capacity_, kFirstRoom, std::min(end - base_, kWindow)});
    try {
        auto bigger =
            std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(room));
        if (made_ > base_)
            std::memcpy(bigger.get(), out_.get(), static_cast<std::size_t>(made_ - base_));
        out_ = std::move(bigger);
        capacity_ = room;
        return true;
    } catch (const std::bad_alloc&) {
        problem_ = "there is not enough memory to decompress it";
        return false;
    }
}

// The next piece of compressed bytes for the stream; false at the end of the file.
bool GzipSource::takeInput() {
    z_stream& z = stream_->z;
    if (z.avail_in > 0) return true;
    const std::size_t got =
        compressed_.readAt(inOffset_, stream_->input.get(), stream_->inputBytes);
    inOffset_ += static_cast<std::int64_t>(got);
    z.next_in = stream_->input.get();
    z.avail_in = static_cast<uInt>(got);
    return got > 0;
}

void GzipSource::inflateTo(std::int64_t offset, std::int64_t end) {
    z_stream& z = stream_->z;
    while (made_ < end && problem_.empty() && stream_->open) {
        if (ended_ || !takeInput()) {
            problem_ = sized_ ? "its gzip data ends after " + std::to_string(made_) + " of the " +
                                    std::to_string(size_) + " bytes its header claims"
                              : std::string("its gzip data ends before its header does");
            return;
        }
        if (!makeRoom(offset, end)) return;
        const std::int64_t held = made_ - base_;
        z.next_out = out_.get() + held;
        z.avail_out = static_cast<uInt>(
            std::min<std::int64_t>({capacity_ - held, size_ - made_, std::int64_t{1} << 30}));
        const uInt before = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        made_ += before - z.avail_out;
        // The end of one member: gzip files may hold several, one after another.
        if (status == Z_STREAM_END) {
            if (!takeInput() || inflateReset(&z) != Z_OK) ended_ = true;
        } else if (status == Z_MEM_ERROR) {
            problem_ = "there is not enough memory to decompress it";
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            problem_ =
                std::string("its gzip data is damaged (") + (z.msg ? z.msg : "inflate") + ")";
        }
    }
}

}  // namespace orvel
